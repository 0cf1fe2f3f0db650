#include "apps/pattix/progress_meter.hpp"

#include <unistd.h>

namespace pattix::cli {
namespace {

// Often enough to look alive, rarely enough to cost nothing next to the frames.
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

}  // namespace

bool isTerminal(int fd) {
    return ::isatty(fd) == 1;
}

ProgressMeter::ProgressMeter(std::FILE* stream, std::int64_t frameCount, bool enabled)
    : m_Stream(stream),
      m_FrameCount(frameCount),
      m_Enabled(enabled),
      m_Start(Clock::now()),
      m_LastDraw(m_Start) {}

ProgressMeter::~ProgressMeter() {
    if (!m_Enabled || m_Done == 0) return;
    draw(Clock::now());
    std::fputc('\n', m_Stream);
}

void ProgressMeter::frameDone() {
    if (m_Enabled) frameDone(Clock::now());
}

void ProgressMeter::frameDone(Clock::time_point now) {
    ++m_Done;
    if (m_Enabled && now - m_LastDraw >= kRedrawInterval) draw(now);
}

void ProgressMeter::draw(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - m_Start).count();
    const double rate = seconds > 0.0 ? static_cast<double>(m_Done) / seconds : 0.0;
    std::fprintf(m_Stream, "\rpattix: frame %lld of %lld, %.1f frames/s ",
                 static_cast<long long>(m_Done), static_cast<long long>(m_FrameCount), rate);
    std::fflush(m_Stream);
    m_LastDraw = now;
}

}  // namespace pattix::cli

// Progress of a long run on standard error: frames done and frames per second, redrawn in
// place a few times a second. Silent when standard error is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace pattix::cli {

class ProgressMeter {
public:
    using Clock = std::chrono::steady_clock;

    // Shows progress on `stream` only when `enabled` (a terminal, more than one frame).
    ProgressMeter(std::FILE* stream, std::int64_t frameCount, bool enabled);
    // Draws the final count and ends the line.
    ~ProgressMeter();

    // Counts one more frame done.
    void frameDone();
    void frameDone(Clock::time_point now);

private:
    void draw(Clock::time_point now);

    std::FILE* m_Stream;
    std::int64_t m_FrameCount;
    bool m_Enabled;
    std::int64_t m_Done = 0;
    Clock::time_point m_Start;
    Clock::time_point m_LastDraw;
};

// Whether `fd` is a terminal, where progress is worth showing.
bool isTerminal(int fd);

}  // namespace pattix::cli

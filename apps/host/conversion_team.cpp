#include "apps/host/conversion_team.hpp"

#include <pthread.h>
#include <signal.h>

#include <algorithm>

#include "apps/host/fixed_point_conversion.hpp"

namespace pattix::host {
namespace {

constexpr std::uint64_t kOpen = std::uint64_t{1} << 31;  // helpers may sign in to the frame
constexpr std::uint64_t kQuit = std::uint64_t{1} << 30;
constexpr std::uint64_t kSignedIn = kQuit - 1;  // the count of helpers signed in

std::uint64_t frameOf(std::uint64_t word) {
    return word >> 32;
}
std::uint64_t withFrame(std::uint32_t frame, std::uint64_t low) {
    return std::uint64_t{frame} << 32 | low;
}

}  // namespace

ConversionTeam::ConversionTeam(unsigned helpers, std::size_t chunkComponents)
    : m_HelperCount(helpers),
      m_ChunkComponents(chunkComponents),
      // Alone, the writing thread hands each chunk on before it converts the next: one slot,
      // which stays in the cache, is all it needs.
      m_Slots(helpers == 0 ? 1 : std::max<std::size_t>(4, 2 * (helpers + 1))) {
    for (Slot& slot : m_Slots) slot.values.reset(new std::uint16_t[chunkComponents]);
}

ConversionTeam::~ConversionTeam() {
    closeFrame();
    m_State.fetch_or(kQuit, std::memory_order_release);
    m_State.notify_all();
    for (std::thread& helper : m_Helpers) helper.join();
}

void ConversionTeam::startHelpers() {
    // Helpers are made with the stop signals blocked, so Ctrl-C lands on the writing thread,
    // whose blocked write it has to interrupt.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    try {
        while (m_Helpers.size() < m_HelperCount) {
            m_Helpers.emplace_back([this] { help(); });
            pthread_setname_np(m_Helpers.back().native_handle(), kHelperName);
        }
    } catch (...) {
        // Fewer helpers than asked for: the writing thread converts what they would have.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    m_HelperCount = static_cast<unsigned>(m_Helpers.size());
}

void ConversionTeam::convert(const std::int16_t* source, std::size_t count, const ChunkSink& sink) {
    // Normally no helper is still signed in to the last frame by now, and none holds a chunk.
    closeFrame();
    if (m_Helpers.size() < m_HelperCount) startHelpers();
    m_Source = source;
    m_Count = count;
    m_Chunks = (count + m_ChunkComponents - 1) / m_ChunkComponents;
    ++m_Frame;
    m_NextChunk.store(0, std::memory_order_relaxed);
    m_Abandoned.store(false, std::memory_order_relaxed);
    for (Slot& slot : m_Slots) slot.chunk.store(kEmpty, std::memory_order_relaxed);
    m_Written.store(withFrame(m_Frame, 0), std::memory_order_release);
    m_Written.notify_all();
    if (!m_Helpers.empty()) {
        m_State.store(withFrame(m_Frame, kOpen), std::memory_order_release);
        m_State.notify_all();
    }
    try {
        for (std::size_t chunk = 0; chunk < m_Chunks; ++chunk) {
            Slot& slot = m_Slots[chunk % m_Slots.size()];
            const auto wanted = static_cast<std::int64_t>(chunk);
            for (std::int64_t held;
                 (held = slot.chunk.load(std::memory_order_acquire)) != wanted;) {
                // A helper has this chunk in hand: convert a later one meanwhile, or wait.
                if (!convertNextChunk()) slot.chunk.wait(held, std::memory_order_acquire);
            }
            sink(slot.values.get(), slot.count);
            m_Written.store(withFrame(m_Frame, chunk + 1), std::memory_order_release);
            m_Written.notify_all();
        }
    } catch (...) {
        // Helpers finish the chunks they hold and stop; the source must not be read after this.
        m_Abandoned.store(true, std::memory_order_relaxed);
        closeFrame();
        throw;
    }
}

bool ConversionTeam::convertNextChunk() {
    for (;;) {
        std::size_t chunk = m_NextChunk.load();
        const std::uint64_t written = m_Written.load(std::memory_order_acquire) & 0xFFFFFFFFu;
        if (chunk >= m_Chunks || chunk >= written + m_Slots.size()) return false;
        if (!m_NextChunk.compare_exchange_weak(chunk, chunk + 1)) continue;
        Slot& slot = m_Slots[chunk % m_Slots.size()];
        slot.count = std::min(m_ChunkComponents, m_Count - chunk * m_ChunkComponents);
        convertFixedToUnsigned16<std::endian::little>(m_Source + chunk * m_ChunkComponents,
                                                      slot.values.get(), slot.count);
        slot.chunk.store(static_cast<std::int64_t>(chunk), std::memory_order_release);
        slot.chunk.notify_all();
        return true;
    }
}

void ConversionTeam::help() {
    std::uint64_t finishedFrame = 0;  // frame numbers start at 1
    for (;;) {
        std::uint64_t state = m_State.load(std::memory_order_acquire);
        if (state & kQuit) return;
        if (!(state & kOpen) || frameOf(state) == finishedFrame) {
            m_State.wait(state, std::memory_order_acquire);
            continue;
        }
        if (!m_State.compare_exchange_weak(state, state + 1, std::memory_order_acq_rel)) continue;
        while (!m_Abandoned.load(std::memory_order_relaxed) && convertNextChunk()) {
        }
        const std::uint64_t written = m_Written.load(std::memory_order_acquire);
        const bool nothingLeft =
            m_Abandoned.load(std::memory_order_relaxed) || m_NextChunk.load() >= m_Chunks;
        // Signed out before waiting, so that the writing thread never waits for a helper that
        // is itself waiting.
        m_State.fetch_sub(1, std::memory_order_release);
        m_State.notify_all();
        if (nothingLeft) {
            finishedFrame = frameOf(state);
        } else {
            m_Written.wait(written, std::memory_order_acquire);  // every slot is taken
        }
    }
}

void ConversionTeam::closeFrame() noexcept {
    for (;;) {
        std::uint64_t state = m_State.load(std::memory_order_acquire);
        if (!(state & kOpen)) return;
        if ((state & kSignedIn) != 0) {
            m_State.wait(state, std::memory_order_acquire);
        } else if (m_State.compare_exchange_weak(state, state & ~kOpen,
                                                 std::memory_order_acq_rel)) {
            return;
        }
    }
}

}  // namespace pattix::host

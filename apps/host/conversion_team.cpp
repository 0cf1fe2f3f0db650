#include "apps/host/conversion_team.hpp"

#include <pthread.h>
#include <signal.h>

#include <algorithm>

#include "apps/host/fixed_point_conversion.hpp"

namespace pattix::host {

ConversionTeam::ConversionTeam(unsigned helpers, std::size_t chunkComponents)
    : m_ChunkComponents(chunkComponents), m_Slots(std::max<std::size_t>(4, 2 * (helpers + 1))) {
    for (Slot& slot : m_Slots) slot.values.reset(new std::uint16_t[chunkComponents]);
    // Helpers are made with the stop signals blocked, so Ctrl-C lands on the writing thread,
    // whose blocked write it has to interrupt.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    for (unsigned i = 0; i < helpers; ++i) m_Helpers.emplace_back([this] { help(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

ConversionTeam::~ConversionTeam() {
    m_Quit.store(true);
    m_Generation.fetch_add(1, std::memory_order_release);
    m_Generation.notify_all();
    for (std::thread& helper : m_Helpers) helper.join();
}

void ConversionTeam::convert(const std::int16_t* source, std::size_t count, const ChunkSink& sink) {
    m_Source = source;
    m_Count = count;
    m_Chunks = (count + m_ChunkComponents - 1) / m_ChunkComponents;
    m_NextChunk.store(0);
    m_Written.store(0);
    m_Finished.store(0);
    m_Abandoned.store(false);
    for (Slot& slot : m_Slots) slot.chunk.store(kEmpty);
    m_Generation.fetch_add(1, std::memory_order_release);
    m_Generation.notify_all();
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
            m_Written.store(chunk + 1, std::memory_order_release);
            m_Written.notify_all();
        }
    } catch (...) {
        abandonFrame();
        throw;
    }
    waitForHelpers();
}

bool ConversionTeam::convertNextChunk() {
    for (;;) {
        std::size_t chunk = m_NextChunk.load();
        if (chunk >= m_Chunks ||
            chunk >= m_Written.load(std::memory_order_acquire) + m_Slots.size()) {
            return false;
        }
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
    std::uint64_t seen = 0;
    for (;;) {
        m_Generation.wait(seen, std::memory_order_acquire);
        seen = m_Generation.load(std::memory_order_acquire);
        if (m_Quit.load()) return;
        while (!m_Abandoned.load()) {
            if (convertNextChunk()) continue;
            // Every chunk claimed, or the ring full until the writer hands one on.
            const std::size_t written = m_Written.load(std::memory_order_acquire);
            if (m_NextChunk.load() >= m_Chunks) break;
            if (m_NextChunk.load() >= written + m_Slots.size()) m_Written.wait(written);
        }
        m_Finished.fetch_add(1, std::memory_order_acq_rel);
        m_Finished.notify_all();
    }
}

void ConversionTeam::abandonFrame() noexcept {
    m_Abandoned.store(true);
    // Releases a helper waiting for the writer to hand on a chunk it never will.
    m_Written.store(m_Chunks, std::memory_order_release);
    m_Written.notify_all();
    waitForHelpers();
}

void ConversionTeam::waitForHelpers() noexcept {
    const auto helpers = static_cast<unsigned>(m_Helpers.size());
    for (unsigned finished; (finished = m_Finished.load(std::memory_order_acquire)) < helpers;) {
        m_Finished.wait(finished);
    }
}

}  // namespace pattix::host

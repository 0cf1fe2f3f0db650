// The 16-bit conversion of a frame shared between the writing thread and helper threads. The
// frame is cut into cache-sized chunks that whoever is free claims next, converting into a small
// ring of slots; the writing thread hands the slots on in picture order, converting chunks
// itself while it would otherwise wait. No frame-sized copy is made.
//
// The helpers are started with the first frame and parked between frames. The writing thread
// never waits for a helper that holds no chunk it needs: a helper the system does not schedule
// only slows the frame down to what one thread does alone, even at the frame's end.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace pattix::host {

class ConversionTeam {
public:
    // The helpers' thread name, as `top -H` and /proc show it.
    static constexpr const char* kHelperName = "pattix-convert";

    using ChunkSink = std::function<void(const std::uint16_t* values, std::size_t count)>;

    // `helpers` extra threads (0: the caller converts alone), chunks of `chunkComponents`.
    ConversionTeam(unsigned helpers, std::size_t chunkComponents);
    ConversionTeam(const ConversionTeam&) = delete;
    ConversionTeam& operator=(const ConversionTeam&) = delete;
    // Stops and joins the helpers.
    ~ConversionTeam();

    // Converts `count` components of `source` to little-endian file values and hands every
    // chunk, in order, to `sink` on the calling thread. An exception from `sink` stops the
    // helpers' work on this frame and passes on.
    void convert(const std::int16_t* source, std::size_t count, const ChunkSink& sink);

private:
    static constexpr std::int64_t kEmpty = -1;

    struct Slot {
        std::atomic<std::int64_t> chunk{kEmpty};  // the converted chunk it holds
        std::size_t count = 0;
        std::unique_ptr<std::uint16_t[]> values;
    };

    void startHelpers();
    void help();
    // Claims the next chunk when its slot is free and converts it; false when there is none.
    bool convertNextChunk();
    // Waits until no helper works on the frame in hand, and lets none start on it.
    void closeFrame() noexcept;

    unsigned m_HelperCount;
    std::size_t m_ChunkComponents;
    std::vector<Slot> m_Slots;
    std::vector<std::thread> m_Helpers;
    // The frame in hand: written only while it is closed, read by helpers signed in to it.
    const std::int16_t* m_Source = nullptr;
    std::size_t m_Count = 0;
    std::size_t m_Chunks = 0;
    std::uint32_t m_Frame = 0;
    std::atomic<std::size_t> m_NextChunk{0};  // the first chunk nobody has claimed
    // The frame number in the high half, chunks handed to the sink in the low half: a helper
    // waiting for a free slot wakes when one is handed on or when another frame begins.
    std::atomic<std::uint64_t> m_Written{0};
    // The frame number in the high half, then the open and quit flags and the count of helpers
    // signed in to the frame.
    std::atomic<std::uint64_t> m_State{0};
    std::atomic<bool> m_Abandoned{false};
};

}  // namespace pattix::host

// Runs of equal pixels, the unit in which the generators write: a colour
// is made once per bar or band segment and then repeated, never recomputed per pixel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pattix {

namespace detail {
// Writes `bytes` bytes at `out` as repeats of the 8-byte `pattern`, with the widest stores the
// processor has; `streaming` writes past the cache.
void fillPattern(void* out, std::size_t bytes, std::uint64_t pattern, bool streaming) noexcept;
void copyBytes(void* out, const void* in, std::size_t bytes, bool streaming) noexcept;
// Orders streamed stores before whatever the thread does next (its join by the runner).
void finishStreaming() noexcept;
// Copies the `rowBytes` bytes at `first` over the `copies` rows that follow them in memory.
void repeatRow(void* first, std::size_t rowBytes, std::size_t copies) noexcept;
// The least number of bytes worth repeating with repeatRow rather than row by row.
std::size_t repeatWorthBytes() noexcept;
}  // namespace detail

// Rows written by repeating a row in one string copy, when there are at least this many bytes
// of them: on these machines such a copy of a 1080 frame ran about as fast as memset of the same
// bytes in memset's faster mode, and twice as fast in its slower one (see generators_bench),
// while copying or painting row by row took 10-30% longer. Shorter copies were measured no faster
// than row-by-row copies.
inline constexpr std::size_t kRepeatWorthBytes = std::size_t{256} << 10;
// Tests only: rows are repeated from `bytes` on; kRepeatWorthBytes restores it.
void setRepeatThresholdForTesting(std::size_t bytes) noexcept;

// Frames at least this large do not stay in the last-level cache (32 MiB on these machines) while
// they are drawn: their runs are streamed to memory as memset streams them, which saves reading
// every line before writing it. Smaller frames are written through the cache, as memset does.
inline constexpr std::size_t kStreamingFrameBytes = std::size_t{32} << 20;

// Writes the runs of one generator thread. std::fill_n of a 4- or 8-byte pixel compiles to one
// scalar store per pixel, several times slower than memset, so long runs go through the wide
// fill instead; the result is the same.
class KtRunWriter {
public:
    explicit KtRunWriter(std::size_t frameBytes) noexcept
        : m_bStreaming(frameBytes >= kStreamingFrameBytes) {}
    KtRunWriter(const KtRunWriter&) = delete;
    KtRunWriter& operator=(const KtRunWriter&) = delete;
    ~KtRunWriter() {
        if (m_bStreaming) detail::finishStreaming();
    }

    template <class Pixel>
    void fill(Pixel* first, std::int32_t count, const Pixel& value) const noexcept {
        static_assert(sizeof(Pixel) == 4 || sizeof(Pixel) == 8);
        constexpr std::int32_t kShortRun = 16;
        if (count <= 0) return;
        if (count < kShortRun) {
            std::fill_n(first, count, value);
            return;
        }
        std::uint64_t pattern = 0;
        if constexpr (sizeof(Pixel) == 4) {
            std::uint32_t word = 0;
            std::memcpy(&word, &value, 4);
            pattern = word | (static_cast<std::uint64_t>(word) << 32);
        } else {
            std::memcpy(&pattern, &value, 8);
        }
        detail::fillPattern(first, static_cast<std::size_t>(count) * sizeof(Pixel), pattern,
                            m_bStreaming);
    }

    // All-zero pixels (alpha 0 included) as one block clear.
    template <class Pixel>
    void clear(Pixel* first, std::int32_t count) const noexcept {
        if (count > 0)
            std::memset(static_cast<void*>(first), 0,
                        static_cast<std::size_t>(count) * sizeof(Pixel));
    }

    // Whether this writer repeats rows at all. Not in frames that are streamed: at 3840x2160 rows
    // copied with streaming stores, one by one, kept the generators at about the speed of memset
    // split over all processors, and the string copy fell to 0.74-0.92 of it.
    bool repeatsRows() const noexcept { return !m_bStreaming; }

    // Whether `count` rows of `rowBytes` bytes are worth one repeatRow.
    static bool repeats(std::size_t rowBytes, std::int32_t count) noexcept {
        return count > 0 &&
               rowBytes * static_cast<std::size_t>(count) >= detail::repeatWorthBytes();
    }

    // The `rowBytes` bytes at `first` copied over the `copies` rows that follow them in memory.
    template <class Pixel>
    void repeatRow(Pixel* first, std::size_t rowBytes, std::int32_t copies) const noexcept {
        if (copies > 0) detail::repeatRow(first, rowBytes, static_cast<std::size_t>(copies));
    }

    template <class Pixel>
    void copy(Pixel* to, const Pixel* from, std::int32_t count) const noexcept {
        if (count > 0)
            detail::copyBytes(to, from, static_cast<std::size_t>(count) * sizeof(Pixel),
                              m_bStreaming);
    }

private:
    bool m_bStreaming;
};

// A stored component from an int32 configuration value, keeping its low bits as the host does
// (the low 8 bits for 8-bit pixels, the low 16 bits for 16-bit pixels).
template <class Pixel>
constexpr typename Pixel::Component lowBits(std::int32_t value) noexcept {
    return static_cast<typename Pixel::Component>(value);
}

}  // namespace pattix

#include "plugin/image/pixel_runs.hpp"

#include "plugin/image/pixel_types.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace pattix {
namespace {

// The wide fill and copy against a byte-by-byte expectation, at every 4-byte offset from a
// 32-byte boundary, through the cache and streamed.
TEST(PixelRuns, FillRepeatsTheEightBytePatternFromTheFirstByteAtAnyAlignment) {
    const std::uint64_t pattern = 0x8877665544332211ull;
    unsigned char bytesOf[8];
    std::memcpy(bytesOf, &pattern, 8);
    alignas(64) static unsigned char buffer[4096 + 64];
    for (const bool streaming : {false, true}) {
        for (std::size_t offset = 0; offset < 32; offset += 4) {
            for (const std::size_t length :
                 {std::size_t{4}, std::size_t{12}, std::size_t{252}, std::size_t{260},
                  std::size_t{1000}, std::size_t{4092}}) {
                std::memset(buffer, 0xEE, sizeof buffer);
                detail::fillPattern(buffer + offset, length, pattern, streaming);
                detail::finishStreaming();
                for (std::size_t i = 0; i < sizeof buffer; ++i) {
                    const bool inside = i >= offset && i < offset + length;
                    const unsigned char expected = inside ? bytesOf[(i - offset) % 8] : 0xEE;
                    ASSERT_EQ(buffer[i], expected)
                        << "streaming " << streaming << ", offset " << offset << ", length "
                        << length << ", byte " << i;
                }
            }
        }
    }
}

TEST(PixelRuns, CopyMovesEveryByteAtAnyAlignment) {
    alignas(64) static unsigned char source[4096];
    alignas(64) static unsigned char target[4096 + 64];
    for (std::size_t i = 0; i < sizeof source; ++i)
        source[i] = static_cast<unsigned char>(i * 7 + 3);
    for (const bool streaming : {false, true}) {
        for (std::size_t offset = 0; offset < 32; offset += 4) {
            for (const std::size_t length :
                 {std::size_t{8}, std::size_t{200}, std::size_t{264}, std::size_t{4000}}) {
                std::memset(target, 0xEE, sizeof target);
                detail::copyBytes(target + offset, source + 4, length, streaming);
                detail::finishStreaming();
                for (std::size_t i = 0; i < sizeof target; ++i) {
                    const bool inside = i >= offset && i < offset + length;
                    ASSERT_EQ(target[i], inside ? source[4 + i - offset] : 0xEE)
                        << "streaming " << streaming << ", offset " << offset << ", length "
                        << length;
                }
            }
        }
    }
}

TEST(PixelRuns, RunWriterFillsShortAndLongRunsOfBothPixelSizes) {
    const KtRunWriter cached(0);
    const KtRunWriter streamed(kStreamingFrameBytes);
    for (const KtRunWriter* writer : {&cached, &streamed}) {
        for (const std::int32_t count : {1, 15, 16, 17, 100, 1001}) {
            std::vector<Rgba8> narrow(static_cast<std::size_t>(count) + 2, Rgba8(9, 9, 9, 9));
            writer->fill(narrow.data() + 1, count, Rgba8(1, 2, 3, 4));
            std::vector<Rgba16> wide(static_cast<std::size_t>(count) + 2, Rgba16(9, 9, 9, 9));
            writer->fill(wide.data() + 1, count, Rgba16(-1, 2, 16384, 4));
            detail::finishStreaming();
            for (std::size_t i = 0; i < narrow.size(); ++i) {
                const bool inside = i >= 1 && i <= static_cast<std::size_t>(count);
                ASSERT_EQ(narrow[i], inside ? Rgba8(1, 2, 3, 4) : Rgba8(9, 9, 9, 9))
                    << count << ": " << i;
                ASSERT_EQ(wide[i], inside ? Rgba16(-1, 2, 16384, 4) : Rgba16(9, 9, 9, 9))
                    << count << ": " << i;
            }
        }
    }
}

}  // namespace
}  // namespace pattix

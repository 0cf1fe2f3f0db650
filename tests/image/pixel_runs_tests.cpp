#include "plugin/image/pixel_runs.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace pattix {
namespace {

// The wide fill and copy against a byte-by-byte expectation, at every 4-byte offset from a
// 32-byte boundary, through the cache and streamed; nothing outside the run is touched.
TEST(PixelRuns, FillAndCopyWriteExactlyTheirBytesAtAnyAlignment) {
    const std::uint64_t pattern = 0x8877665544332211ull;
    unsigned char patternBytes[8];
    std::memcpy(patternBytes, &pattern, 8);
    alignas(64) static unsigned char source[4096];
    alignas(64) static unsigned char target[4096 + 64];
    for (std::size_t i = 0; i < sizeof source; ++i)
        source[i] = static_cast<unsigned char>(i * 7 + 3);
    for (const bool streaming : {false, true}) {
        for (std::size_t offset = 0; offset < 32; offset += 4) {
            for (const std::size_t length : {4, 12, 200, 252, 260, 1000, 4092}) {
                for (const bool copy : {false, true}) {
                    std::memset(target, 0xEE, sizeof target);
                    if (copy)
                        detail::copyBytes(target + offset, source + 4, length, streaming);
                    else
                        detail::fillPattern(target + offset, length, pattern, streaming);
                    detail::finishStreaming();
                    for (std::size_t i = 0; i < sizeof target; ++i) {
                        const std::size_t k = i - offset;
                        unsigned char expected = 0xEE;
                        if (i >= offset && k < length)
                            expected = copy ? source[4 + k] : patternBytes[k % 8];
                        ASSERT_EQ(target[i], expected)
                            << "copy " << copy << ", streaming " << streaming << ", offset "
                            << offset << ", length " << length << ", byte " << i;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace pattix

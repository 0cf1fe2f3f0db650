#include "plugin/image/pixel_types.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace pattix {
namespace {

// The host's pixel memory layouts: 8-bit R in the low byte of a little-endian word, 16-bit as
// four signed words in the order R, G, B, A.
TEST(PixelTypes, MemoryLayoutIsTheHosts) {
    const Rgba8 narrow(0x11, 0x22, 0x33, 0x44);
    std::uint32_t word = 0;
    std::memcpy(&word, &narrow, sizeof word);
    EXPECT_EQ(word, 0x44332211u);

    const Rgba16 wide(-1, 16384, 32767, -32768);
    std::int16_t words[4] = {};
    std::memcpy(words, &wide, sizeof words);
    EXPECT_EQ(words[0], -1);
    EXPECT_EQ(words[1], 16384);
    EXPECT_EQ(words[2], 32767);
    EXPECT_EQ(words[3], -32768);
}

}  // namespace
}  // namespace pattix

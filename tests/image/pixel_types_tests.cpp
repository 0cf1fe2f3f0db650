#include "plugin/image/pixel_types.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace pattix {
namespace {

TEST(PixelTypes, EightBitPixelIsRInTheLowByteOfALittleEndianWord) {
    const Rgba8 pixel(0x11, 0x22, 0x33, 0x44);
    std::uint32_t word = 0;
    std::memcpy(&word, &pixel, sizeof word);
    EXPECT_EQ(word, 0x44332211u);
}

TEST(PixelTypes, SixteenBitPixelIsFourSignedWordsInOrderRGBA) {
    const Rgba16 pixel(-1, 16384, 32767, -32768);
    std::int16_t words[4] = {};
    std::memcpy(words, &pixel, sizeof words);
    EXPECT_EQ(words[0], -1);
    EXPECT_EQ(words[1], 16384);
    EXPECT_EQ(words[2], 32767);
    EXPECT_EQ(words[3], -32768);
}

TEST(PixelTypes, ComponentsAreAddressedInMemoryOrder) {
    Rgba16 pixel;
    for (int i = 0; i < 4; ++i)
        pixel.setComponent(i, static_cast<short>(100 * (i + 1)));
    EXPECT_EQ(pixel, Rgba16(100, 200, 300, 400));
    EXPECT_EQ(pixel.component(2), 300);
    Channel16 channel;
    channel.setComponent(0, -7);
    EXPECT_EQ(channel.component(0), -7);
}

}  // namespace
}  // namespace pattix

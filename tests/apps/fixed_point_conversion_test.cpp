// 2.14 fixed point to 16-bit file values: every possible input, both byte orders, any length.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <numeric>
#include <vector>

#include "apps/host/fixed_point_conversion.hpp"

namespace pattix::host {
namespace {

std::uint16_t expected(int value) {
    const long long clamped = value < 0 ? 0 : (value > 16384 ? 16384 : value);
    return static_cast<std::uint16_t>((clamped * 65535 + 8192) / 16384);
}

std::uint16_t swapped(std::uint16_t value) {
    return static_cast<std::uint16_t>(value << 8 | value >> 8);
}

std::vector<std::int16_t> everyValue() {
    std::vector<std::int16_t> values(65536);
    for (int i = 0; i < 65536; ++i) values[i] = static_cast<std::int16_t>(i - 32768);
    return values;
}

TEST(FixedPointConversion, KnownLevels) {
    EXPECT_EQ(fixedToUnsigned16(0), 0);
    EXPECT_EQ(fixedToUnsigned16(-1), 0);
    EXPECT_EQ(fixedToUnsigned16(-32768), 0);
    EXPECT_EQ(fixedToUnsigned16(8192), 32768);
    EXPECT_EQ(fixedToUnsigned16(8193), 32771);
    EXPECT_EQ(fixedToUnsigned16(12288), 49151);  // 75%
    EXPECT_EQ(fixedToUnsigned16(16384), 65535);  // 100%
    EXPECT_EQ(fixedToUnsigned16(32767), 65535);
}

TEST(FixedPointConversion, EveryValueInBothByteOrders) {
    const std::vector<std::int16_t> values = everyValue();
    std::vector<std::uint16_t> little(values.size()), big(values.size());
    convertFixedToUnsigned16<std::endian::little>(values.data(), little.data(), values.size());
    convertFixedToUnsigned16<std::endian::big>(values.data(), big.data(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint16_t want = expected(values[i]);
        ASSERT_EQ(fixedToUnsigned16(values[i]), want) << values[i];
        ASSERT_EQ(little[i], std::endian::native == std::endian::little ? want : swapped(want))
            << values[i];
        ASSERT_EQ(big[i], std::endian::native == std::endian::big ? want : swapped(want))
            << values[i];
    }
}

TEST(FixedPointConversion, AnyLengthAndAlignmentConvertsExactlyItsRange) {
    const std::vector<std::int16_t> values = everyValue();
    // Runs across 0, 8192 and 16384, where the conversion changes its rule, at odd alignments.
    for (const int first : {-21, -20, 8170, 8171, 16363, 16365}) {
        for (std::size_t count = 0; count <= 40; ++count) {
            std::vector<std::uint16_t> out(count + 2, 0xABCD);
            const std::int16_t* source = values.data() + 32768 + first;
            convertFixedToUnsigned16<std::endian::native>(source, out.data() + 1, count);
            EXPECT_EQ(out.front(), 0xABCD);
            EXPECT_EQ(out.back(), 0xABCD);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(out[i + 1], expected(source[i])) << count;
        }
    }
}

}  // namespace
}  // namespace pattix::host

// The picture as the viewer shows it: both host formats in the texture's row order (bottom
// first), 2.14 components clamped and rounded to display values.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "apps/host/com_ptr.hpp"
#include "apps/pattix-view/display_frame.hpp"
#include "sdk/host/pixel_formats.hpp"

namespace pattix::view {
namespace {

// Out of range on both sides, the rounding points around one code value, 75% and 100%.
constexpr std::pair<std::int16_t, std::uint8_t> kLevels[] = {
    {-32768, 0},  {-1, 0},      {0, 0},       {32, 0},      {33, 1},      {8192, 128},
    {12288, 191}, {16383, 255}, {16384, 255}, {16385, 255}, {32767, 255},
};

TEST(DisplayFrame, SixteenBitRowsTurnBottomFirstClampedAndRoundedEightBitAsStored) {
    // Components per row: not a multiple of any vector width, so the loop's tail is covered.
    constexpr int kWidth = 5, kHeight = 3, kRow = kWidth * 4;
    const host::ComPtr<sdk::host::HostImage> fixed(
        sdk::host::HostImage::create(kWidth, kHeight, MFIF_RGBA_S2_14));
    const host::ComPtr<sdk::host::HostImage> bytes(
        sdk::host::HostImage::create(kWidth, kHeight, MFIF_RGBA_RAW_32));
    // Component i of host row r holds level (r * 7 + i) of the table.
    const auto level = [](int row, int i) { return kLevels[(row * 7 + i) % std::size(kLevels)]; };
    for (int row = 0; row < kHeight; ++row) {
        auto* components = reinterpret_cast<std::int16_t*>(fixed->data() + row * fixed->rowBytes());
        for (int i = 0; i < kRow; ++i) components[i] = level(row, i).first;
    }
    for (std::size_t b = 0; b < bytes->sizeBytes(); ++b)
        bytes->data()[b] = static_cast<std::byte>(b * 37 + 11);

    DisplayFrame frame;
    frame.rgba.assign(7, 0xff);  // a frame of another size before
    convertForDisplay(*fixed, frame);
    ASSERT_EQ(frame.width, kWidth);
    ASSERT_EQ(frame.height, kHeight);
    ASSERT_EQ(frame.rgba.size(), std::size_t{kRow * kHeight});
    // The 16-bit host rows are stored top first; the texture's row 0 is the bottom one.
    for (int shown = 0; shown < kHeight; ++shown) {
        for (int i = 0; i < kRow; ++i)
            EXPECT_EQ(frame.rgba[shown * kRow + i], level(kHeight - 1 - shown, i).second)
                << "row " << shown << ", component " << i;
    }
    convertForDisplay(*bytes, frame);
    ASSERT_EQ(frame.rgba.size(), bytes->sizeBytes());
    EXPECT_EQ(std::memcmp(frame.rgba.data(), bytes->data(), bytes->sizeBytes()), 0);
}

}  // namespace
}  // namespace pattix::view

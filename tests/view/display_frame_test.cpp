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

struct Level {
    std::int16_t fixed;
    std::uint8_t shown;
};

// Out of range on both sides, the rounding points around one code value, 75% and 100%.
constexpr Level kLevels[] = {
    {-32768, 0},  {-1, 0},      {0, 0},       {32, 0},      {33, 1},      {8192, 128},
    {12288, 191}, {16383, 255}, {16384, 255}, {16385, 255}, {32767, 255},
};
constexpr int kLevelCount = static_cast<int>(std::size(kLevels));

// Components per row: not a multiple of any vector width, so the loop's tail is covered too.
constexpr int kWidth = 5;
constexpr int kHeight = 3;

host::ComPtr<sdk::host::HostImage> image(const GUID& format) {
    host::ComPtr<sdk::host::HostImage> made(sdk::host::HostImage::create(kWidth, kHeight, format));
    EXPECT_TRUE(made);
    return made;
}

// Component i of host row `row` (as stored) holds level (row * 7 + i) of the table.
int levelAt(int row, int i) {
    return (row * 7 + i) % kLevelCount;
}

TEST(DisplayFrame, SixteenBitRowsTurnBottomFirstAndComponentsClampAndRound) {
    const auto picture = image(MFIF_RGBA_S2_14);
    for (int row = 0; row < kHeight; ++row) {
        auto* components =
            reinterpret_cast<std::int16_t*>(picture->data() + row * picture->rowBytes());
        for (int i = 0; i < kWidth * 4; ++i) components[i] = kLevels[levelAt(row, i)].fixed;
    }
    DisplayFrame frame;
    convertForDisplay(*picture, frame);
    ASSERT_EQ(frame.width, kWidth);
    ASSERT_EQ(frame.height, kHeight);
    ASSERT_EQ(frame.rgba.size(), std::size_t{kWidth * kHeight * 4});
    // The 16-bit host rows are stored top first; the texture's row 0 is the bottom one.
    for (int shownRow = 0; shownRow < kHeight; ++shownRow) {
        const int hostRow = kHeight - 1 - shownRow;
        for (int i = 0; i < kWidth * 4; ++i) {
            const Level& level = kLevels[levelAt(hostRow, i)];
            EXPECT_EQ(frame.rgba[shownRow * kWidth * 4 + i], level.shown)
                << "row " << shownRow << ", component " << i << ": " << level.fixed;
        }
    }
}

TEST(DisplayFrame, EightBitRowsAreTakenAsStored) {
    const auto picture = image(MFIF_RGBA_RAW_32);
    for (std::size_t b = 0; b < picture->sizeBytes(); ++b)
        picture->data()[b] = static_cast<std::byte>(b * 37 + 11);
    DisplayFrame frame;
    // A frame of another size before: the new one takes the picture's size.
    frame.rgba.assign(7, 0xff);
    convertForDisplay(*picture, frame);
    ASSERT_EQ(frame.rgba.size(), picture->sizeBytes());
    EXPECT_EQ(std::memcmp(frame.rgba.data(), picture->data(), picture->sizeBytes()), 0);
}

}  // namespace
}  // namespace pattix::view

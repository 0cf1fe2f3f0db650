// A rendered host image as the viewer shows it: 8-bit RGBA rows, the bottom row first, which is
// the row order OpenGL textures take and the one the host's 8-bit images already have.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/host/image.hpp"

namespace pattix::view {

struct DisplayFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    // What was rendered and how long that took.
    long pattern = 0;
    double renderMilliseconds = 0.0;
    double convertMilliseconds = 0.0;
    std::uint64_t serial = 0;
};

// Fills `frame`'s size and pixels from an 8-bit (MFIF_RGBA_RAW_32, bottom row first) or 16-bit
// (MFIF_RGBA_S2_14, 16384 = 1.0, top row first) host image. Components below 0 or above 1.0
// show as 0 and 255.
void convertForDisplay(const sdk::host::HostImage& image, DisplayFrame& frame);

// One 2.14 fixed-point component as an 8-bit display value, 1.0 rounding to 255.
constexpr std::uint8_t fixedToDisplay(std::int16_t value) {
    const int clamped = value < 0 ? 0 : (value > 16384 ? 16384 : value);
    return static_cast<std::uint8_t>((clamped * 255 + 8192) >> 14);
}

}  // namespace pattix::view

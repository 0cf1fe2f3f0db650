#include "apps/pattix-view/display_frame.hpp"

#include <cstring>

#include "sdk/host/pixel_formats.hpp"

namespace pattix::view {

void convertForDisplay(const sdk::host::HostImage& image, DisplayFrame& frame) {
    const int width = image.width(), height = image.height();
    frame.width = width;
    frame.height = height;
    const std::size_t rowPixels = static_cast<std::size_t>(width);
    frame.rgba.resize(rowPixels * 4 * static_cast<std::size_t>(height));
    std::uint8_t* target = frame.rgba.data();
    if (image.format() == MFIF_RGBA_RAW_32) {
        for (int row = 0; row < height; ++row) {
            std::memcpy(target + row * rowPixels * 4, image.row(row), rowPixels * 4);
        }
        return;
    }
    // The module wrote these rows as 16-bit components.
    for (int row = 0; row < height; ++row) {
        const auto* source = reinterpret_cast<const std::int16_t*>(image.row(row));
        std::uint8_t* out = target + row * rowPixels * 4;
        for (std::size_t i = 0; i < rowPixels * 4; ++i) out[i] = fixedToDisplay(source[i]);
    }
}

}  // namespace pattix::view

// Test helper: pixel memory owned by the test and a texture that views it, optionally from its
// last row upward as the 16-bit host path does.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/image/pixel_types.hpp"
#include "plugin/image/texture.hpp"

namespace pattix::test {

enum class RowOrder { TopDown, BottomUp };

template <class Pixel>
Pixel rgba(int r, int g, int b, int a) {
    using C = typename Pixel::Component;
    return Pixel(static_cast<C>(r), static_cast<C>(g), static_cast<C>(b), static_cast<C>(a));
}

template <class Pixel, class Work = WorkColour>
struct Canvas {
    std::vector<Pixel> memory;
    KtTexture<Pixel, Work> texture;

    Canvas(std::int32_t w, std::int32_t h, RowOrder order = RowOrder::TopDown, Pixel fill = Pixel{})
        : memory(static_cast<std::size_t>(w) * h, fill) {
        texture.setSize(w, h);
        const bool up = order == RowOrder::BottomUp;
        texture.data = memory.data() + (up ? static_cast<std::size_t>(h - 1) * w : 0);
        texture.rowBytes = static_cast<std::int32_t>(w * sizeof(Pixel)) * (up ? -1 : 1);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Texture coordinates (start 0).
    Pixel& at(std::int32_t x, std::int32_t y) { return *texture.pixelAt(x, y); }
};

}  // namespace pattix::test

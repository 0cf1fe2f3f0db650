// Test helper: pixel memory owned by the test and a texture that views it, optionally from its
// last row upward as the 16-bit host path does.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "plugin/image/pixel_types.hpp"
#include "plugin/image/texture.hpp"

namespace pattix::test {

enum class RowOrder { TopDown, BottomUp };

// The host hands 8-bit buffers over top down and 16-bit ones from their last row upward.
template <class Pixel>
inline constexpr RowOrder kHostOrder = sizeof(Pixel) == sizeof(Rgba16) ? RowOrder::BottomUp
                                                                       : RowOrder::TopDown;

template <class Pixel>
Pixel rgba(int r, int g, int b, int a) {
    using C = typename Pixel::Component;
    return Pixel(static_cast<C>(r), static_cast<C>(g), static_cast<C>(b), static_cast<C>(a));
}

template <class Pixel, class Work = WorkColour>
struct Canvas {
    std::int32_t width;
    std::int32_t height;
    std::vector<Pixel> memory;
    KtTexture<Pixel, Work> texture;

    Canvas(std::int32_t w, std::int32_t h, RowOrder order = RowOrder::TopDown, Pixel fill = Pixel{})
        : width(w), height(h), memory(static_cast<std::size_t>(w) * h, fill) {
        texture.setSize(w, h);
        const bool up = order == RowOrder::BottomUp;
        texture.data = memory.data() + (up ? static_cast<std::size_t>(h - 1) * w : 0);
        texture.rowBytes = static_cast<std::int32_t>(w * sizeof(Pixel)) * (up ? -1 : 1);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Texture coordinates (start 0).
    Pixel& at(std::int32_t x, std::int32_t y) { return *texture.pixelAt(x, y); }

    bool sameBytes(const Canvas& other) const {
        return memory.size() == other.memory.size() &&
               std::memcmp(memory.data(), other.memory.data(), memory.size() * sizeof(Pixel)) == 0;
    }
};

}  // namespace pattix::test

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

template <class Pixel, class Work = WorkColour>
struct Canvas {
    using Texture = KtTexture<Pixel, Work>;

    std::int32_t width;
    std::int32_t height;
    std::vector<Pixel> memory;
    Texture texture;

    Canvas(std::int32_t w, std::int32_t h, RowOrder order = RowOrder::TopDown, Pixel fill = Pixel{})
        : width(w), height(h), memory(static_cast<std::size_t>(w) * h, fill) {
        texture.setSize(w, h);
        const auto step = static_cast<std::int32_t>(w * sizeof(Pixel));
        if (order == RowOrder::TopDown) {
            texture.data = memory.data();
            texture.rowBytes = step;
        } else {
            texture.data = memory.data() + static_cast<std::size_t>(h - 1) * w;
            texture.rowBytes = -step;
        }
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

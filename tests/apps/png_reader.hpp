// Decodes PNG files written by pattix, with libpng, into one sample array for both depths.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pattix::testing {

using Rgba = std::array<std::uint16_t, 4>;

struct Picture {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    std::vector<std::uint16_t> samples;  // R, G, B, A per pixel, the top row first

    // The pixel at column x of file row `row` (0 is the top of the picture).
    Rgba atRow(int x, int row) const;
    // The pixel at column x of host row r (0 is the bottom of the picture).
    Rgba atHostRow(int x, int r) const { return atRow(x, height - 1 - r); }
};

// Reads an RGBA PNG; fails the test (and answers an empty picture) when it cannot.
Picture readPng(const std::string& path);

}  // namespace pattix::testing

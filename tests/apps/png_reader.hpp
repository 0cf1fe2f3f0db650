// Decodes PNG files written by pattix, with libpng.
#pragma once

#include <string>

namespace pattix::testing {

struct Picture {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    // The samples as `pattix -o -` streams them: R, G, B, A per pixel, the top row first, in
    // bytes at depth 8 and little-endian 16-bit values at depth 16.
    std::string raw;
};

// Reads an RGBA PNG; fails the test (and answers an empty picture) when it cannot.
Picture readPng(const std::string& path);

}  // namespace pattix::testing

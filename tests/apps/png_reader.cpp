#include "tests/apps/png_reader.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace pattix::testing {
namespace {

// libpng leaves by longjmp on a damaged file: nothing here may need destroying.
bool decode(png_structp png, png_infop info, std::FILE* file, Picture* picture) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    // PNG keeps 16-bit samples big-endian; the raw stream has them little-endian.
    png_read_png(png, info, PNG_TRANSFORM_SWAP_ENDIAN, nullptr);
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB_ALPHA) return false;
    picture->width = static_cast<int>(png_get_image_width(png, info));
    picture->height = static_cast<int>(png_get_image_height(png, info));
    picture->bitDepth = png_get_bit_depth(png, info);
    const png_bytepp rows = png_get_rows(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    for (int y = 0; y < picture->height; ++y) {
        picture->raw.append(reinterpret_cast<const char*>(rows[y]), rowBytes);
    }
    return true;
}

}  // namespace

Picture readPng(const std::string& path) {
    Picture picture;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return picture;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool good = decode(png, info, file, &picture);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    if (!good) ADD_FAILURE() << path << " is not an RGBA PNG";
    return good ? picture : Picture{};
}

}  // namespace pattix::testing

// A host image as a PNG file, upright: 8 bits per component for 8-bit images, 16 bits for
// 16-bit fixed-point images.
#pragma once

#include <string>

#include "sdk/host/image.hpp"

namespace pattix::cli {

// Throws UsageError for a picture larger than libpng writes (1,000,000 pixels a side), so
// that it is refused before anything is rendered.
void requirePngSize(int width, int height);

// Writes the image to `fd` (which stays open). Throws RunFailure naming `name` on an error,
// Interrupted when a stop signal arrives while writing.
void writePng(int fd, const std::string& name, const sdk::host::HostImage& image);

}  // namespace pattix::cli

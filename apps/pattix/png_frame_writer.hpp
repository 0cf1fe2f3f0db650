// A host image as a PNG file, upright: 8 bits per component for 8-bit images, 16 bits for
// 16-bit fixed-point images.
#pragma once

#include <string>

#include "sdk/host/image.hpp"

namespace pattix::cli {

// Writes the image to `fd` (which stays open). Throws RunFailure naming `name` on an error,
// Interrupted when a stop signal arrives while writing.
void writePng(int fd, const std::string& name, const sdk::host::HostImage& image);

}  // namespace pattix::cli

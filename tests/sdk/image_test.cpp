// Host images: the stand-in allocates the buffer its size says, or none.

#include <gtest/gtest.h>

#include "sdk/host/image.hpp"
#include "sdk/host/pixel_formats.hpp"

namespace {

TEST(HostImage, ASizeWhoseBytesPass64BitsIsRefusedNotWrapped) {
    // (2^30 + 23170) x (2^31 - 46339) pixels of 8 bytes are 2^64 + 537552 bytes.
    EXPECT_EQ(sdk::host::HostImage::create(1073764994, 2147437309, MFIF_RGBA_S2_14), nullptr);
}

}  // namespace

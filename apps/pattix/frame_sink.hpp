// The destination of rendered frames, chosen by the output target: PNG files or a raw stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "apps/pattix/output_target.hpp"
#include "sdk/host/image.hpp"

namespace pattix::cli {

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Takes the image's current content as frame `frame` (counted from 0).
    virtual void frame(std::int64_t frame) = 0;
    // Completes the output after the last frame; answers where it went, for the closing
    // message (empty for standard output). Files not completed are removed when the sink goes.
    virtual std::string finish() = 0;
};

// Opens the destination for `frameCount` frames of `image` (which must outlive the sink).
// Files are created at once, so an unwritable path fails before any rendering.
std::unique_ptr<FrameSink> openFrameSink(const OutputTarget& target,
                                         const sdk::host::HostImage& image,
                                         std::int64_t frameCount);

}  // namespace pattix::cli

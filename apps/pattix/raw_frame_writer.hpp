// Frames of a host image as raw video, top row first: `rgba` bytes for 8-bit images, `rgba64le`
// for 16-bit ones, as ffmpeg's rawvideo demuxer reads them.
#pragma once

#include <sys/uio.h>

#include <memory>
#include <string>
#include <vector>

#include "apps/host/conversion_team.hpp"
#include "sdk/host/image.hpp"

namespace pattix::cli {

class RawFrameWriter {
public:
    // The image must outlive the writer and keep its buffer; `name` is used in messages.
    RawFrameWriter(int fd, std::string name, const sdk::host::HostImage& image);

    // Writes the image's current content as one frame.
    void write();

private:
    int m_Fd;
    std::string m_Name;
    const sdk::host::HostImage& m_Image;
    // 8-bit: a batch of rows in picture order, pointing into the host buffer (its bottom row is
    // first); a frame goes out as a few such batches, whatever its height.
    std::vector<iovec> m_Batch;
    // 16-bit: the conversion to file values, shared with helper threads for large frames.
    std::unique_ptr<host::ConversionTeam> m_Conversion;
};

}  // namespace pattix::cli

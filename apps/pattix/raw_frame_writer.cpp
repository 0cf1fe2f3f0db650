#include "apps/pattix/raw_frame_writer.hpp"

#include <limits.h>

#include <algorithm>
#include <thread>

#include "apps/pattix/descriptor_output.hpp"
#include "sdk/host/pixel_formats.hpp"

namespace pattix::cli {
namespace {

// Big enough that each write call moves a lot, small enough that the converted values are still
// in the processor's cache (1 MiB per core here) when the kernel copies them. Measured on 1080
// 16-bit streams: 256 KiB takes a fifth less processor time than 128 KiB, 512 KiB no less.
constexpr std::size_t kChunkBytes = 256 * 1024;

// Helpers pay only where a second processor adds memory bandwidth. On the 2-core build machine
// pattix's 16-bit streams ran as fast without a helper as with one, at 1080 and at UHD, idle or
// loaded; a frame below 16 MiB (1080 at 16 bits) is converted by the writing thread alone.
constexpr std::size_t kChunksWorthSharing = 64;
constexpr unsigned kMostHelpers = 7;

// 8-bit rows go out in batches of as many as one write call takes.
constexpr std::size_t kRowsPerWrite = IOV_MAX;

unsigned helperCount(std::size_t frameBytes) {
    if (frameBytes < kChunksWorthSharing * kChunkBytes) return 0;
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    return std::min(processors - 1, kMostHelpers);
}

}  // namespace

RawFrameWriter::RawFrameWriter(int fd, std::string name, const sdk::host::HostImage& image)
    : m_Fd(fd), m_Name(std::move(name)), m_Image(image) {
    if (image.format() == MFIF_RGBA_RAW_32) {
        m_Batch.reserve(kRowsPerWrite);
    } else {
        m_Conversion = std::make_unique<host::ConversionTeam>(helperCount(image.sizeBytes()),
                                                              kChunkBytes / sizeof(std::uint16_t));
    }
}

void RawFrameWriter::write() {
    if (m_Conversion) {
        // The 16-bit buffer already stores the top row first.
        m_Conversion->convert(
            reinterpret_cast<const std::int16_t*>(m_Image.data()),
            m_Image.sizeBytes() / sizeof(std::int16_t),
            [this](const std::uint16_t* values, std::size_t count) {
                iovec chunk{const_cast<std::uint16_t*>(values), count * sizeof *values};
                writeRanges(m_Fd, {&chunk, 1}, m_Name);
            });
        return;
    }
    // Written in place, top row first: no copy of the picture is made.
    const std::size_t rowBytes = m_Image.rowBytes();
    const int height = m_Image.height();
    for (int row = 0; row < height;) {
        m_Batch.clear();
        for (; row < height && m_Batch.size() < kRowsPerWrite; ++row) {
            m_Batch.push_back({const_cast<std::byte*>(m_Image.row(height - 1 - row)), rowBytes});
        }
        writeRanges(m_Fd, m_Batch, m_Name);
    }
}

}  // namespace pattix::cli

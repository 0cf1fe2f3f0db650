// Parsing of the command line's values: sizes, regions, depths, fields, directions, counts.
// Each parser takes the text as typed and throws UsageError naming it and what is accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pattix::host {

struct FrameSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// A region of interest in host pixels: x from the left, y from the bottom row.
struct PixelRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRegion&, const PixelRegion&) = default;
};

// "WxH" or a preset name (ntsc, pal, 720p, 1080, uhd). `what` names the option in messages.
FrameSize parseFrameSize(std::string_view text, std::string_view what = "size");

// "X,Y,W,H" with a positive width and height.
PixelRegion parseRegion(std::string_view text);

// The part of `region` inside a picture of `size`; nullopt when they do not meet.
std::optional<PixelRegion> clipRegion(const PixelRegion& region, const FrameSize& size);

// The part of `region` inside a picture of `size`; throws UsageError when they do not meet.
PixelRegion regionInside(const PixelRegion& region, const FrameSize& size);

// 8 or 16 (bits per component of the host image).
int parseDepth(std::string_view text);

// both, first or second, as the host's field indicator.
int parseField(std::string_view text);

// horizontal or vertical, as the effect's Ramp Direction value.
int parseDirection(std::string_view text);

// A positive number of frames.
std::int64_t parseFrameCount(std::string_view text);

// Bytes of one frame of `size` at `depth` bits, nullopt when that does not fit in 64 bits.
std::optional<std::uint64_t> frameBytes(const FrameSize& size, int depth);

// The widest picture at `depth` bits: the host's images step from row to row by a signed
// 32-bit count of bytes (2147483647 / 4 pixels at 8 bits, / 8 at 16 bits).
int largestWidth(int depth);

// Throws UsageError when one frame of `size` at `depth` is wider than largestWidth or cannot
// fit in `memoryBytes`.
void requireFrameFits(const FrameSize& size, int depth, std::uint64_t memoryBytes);

// The machine's memory in bytes (UINT64_MAX when the system does not say).
std::uint64_t physicalMemoryBytes();

}  // namespace pattix::host

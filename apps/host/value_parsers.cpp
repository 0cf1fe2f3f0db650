#include "apps/host/value_parsers.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <string>

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix::host {
namespace {

struct NamedSize {
    std::string_view name;
    FrameSize size;
};

// Frame sizes of the broadcast standards: ITU-R BT.601 (525-line NTSC with 486 active lines,
// 625-line PAL with 576), SMPTE 296M (720p), SMPTE 274M (1080) and ITU-R BT.2020 (UHD-1).
constexpr std::array<NamedSize, 5> kSizePresets = {{
    {"ntsc", {720, 486}},
    {"pal", {720, 576}},
    {"720p", {1280, 720}},
    {"1080", {1920, 1080}},
    {"uhd", {3840, 2160}},
}};

// The whole text as a decimal integer; no sign other than a leading '-', no blanks. A number
// beyond the type's range is told apart from no number at all.
template <class Integer>
struct WholeNumber {
    std::optional<Integer> value;
    bool outOfRange = false;
};

template <class Integer>
WholeNumber<Integer> wholeNumber(std::string_view text) {
    Integer value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size()) return {};
    if (ec == std::errc::result_out_of_range) return {std::nullopt, true};
    if (ec != std::errc()) return {};
    return {value, false};
}

// One of `names`, ignoring case; its index.
template <std::size_t N>
std::optional<int> oneOf(std::string_view text, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (equalsIgnoringCase(text, names[i])) return static_cast<int>(i);
    }
    return std::nullopt;
}

std::string gibibytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB",
                  static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
    return text;
}

}  // namespace

FrameSize parseFrameSize(std::string_view text, std::string_view what) {
    for (const NamedSize& preset : kSizePresets) {
        if (equalsIgnoringCase(text, preset.name)) return preset.size;
    }
    const std::string subject = std::string(what) + " " + quote(text);
    const std::size_t cross = text.find_first_of("xX");
    const auto width = wholeNumber<long long>(text.substr(0, cross));
    const auto height = cross == std::string_view::npos
                            ? WholeNumber<long long>{}
                            : wholeNumber<long long>(text.substr(cross + 1));
    const bool beyondRange = width.outOfRange || height.outOfRange;
    if (!beyondRange && (!width.value || !height.value)) {
        throw UsageError(
            subject + " is not a size: give WxH such as 1920x1080, or ntsc, pal, 720p, 1080, uhd");
    }
    if (!beyondRange && (*width.value < 1 || *height.value < 1)) {
        throw UsageError(subject + " has no pixels: width and height must be at least 1");
    }
    constexpr long long kLargest = std::numeric_limits<int>::max();
    if (beyondRange || *width.value > kLargest || *height.value > kLargest) {
        throw UsageError(subject + " is too large: width and height must be at most " +
                         std::to_string(kLargest));
    }
    return {static_cast<int>(*width.value), static_cast<int>(*height.value)};
}

PixelRegion parseRegion(std::string_view text) {
    std::array<int, 4> values{};
    std::size_t count = 0;
    bool good = true;
    bool beyondRange = false;
    for (std::string_view rest = text; good;) {
        const std::size_t comma = rest.find(',');
        const auto number = wholeNumber<int>(rest.substr(0, comma));
        beyondRange = beyondRange || number.outOfRange;
        good = (number.value.has_value() || number.outOfRange) && count < values.size();
        if (good) values[count++] = number.value.value_or(0);
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    if (good && count == values.size() && beyondRange) {
        throw UsageError("region " + quote(text) +
                         " has a number too large: X, Y, W and H must "
                         "lie within " +
                         std::to_string(std::numeric_limits<int>::min()) + " to " +
                         std::to_string(std::numeric_limits<int>::max()));
    }
    if (!good || count != values.size()) {
        throw UsageError("region " + quote(text) +
                         " is not a region: give X,Y,W,H in pixels, x from the left and y from "
                         "the bottom row");
    }
    const PixelRegion region{values[0], values[1], values[2], values[3]};
    if (region.width < 1 || region.height < 1) {
        throw UsageError("region " + quote(text) + " has no area: W and H must be at least 1");
    }
    return region;
}

std::optional<PixelRegion> clipRegion(const PixelRegion& region, const FrameSize& size) {
    // 64-bit corners: x + width may pass the largest int.
    const long long x0 = std::max<long long>(region.x, 0);
    const long long y0 = std::max<long long>(region.y, 0);
    const long long x1 =
        std::min<long long>(static_cast<long long>(region.x) + region.width, size.width);
    const long long y1 =
        std::min<long long>(static_cast<long long>(region.y) + region.height, size.height);
    if (x0 >= x1 || y0 >= y1) return std::nullopt;
    return PixelRegion{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                       static_cast<int>(y1 - y0)};
}

PixelRegion regionInside(const PixelRegion& region, const FrameSize& size) {
    if (const auto clipped = clipRegion(region, size)) return *clipped;
    throw UsageError("region " +
                     quote(std::to_string(region.x) + "," + std::to_string(region.y) + "," +
                           std::to_string(region.width) + "," + std::to_string(region.height)) +
                     " lies outside the " + std::to_string(size.width) + "x" +
                     std::to_string(size.height) + " picture");
}

int parseDepth(std::string_view text) {
    if (text == "8" || text == "16") return text == "8" ? 8 : 16;
    throw UsageError("depth " + quote(text) + " is not one of: 8, 16");
}

int parseField(std::string_view text) {
    static constexpr std::array<std::string_view, 3> kNames = {"both", "first", "second"};
    static constexpr std::array<int, 3> kIndicators = {DS_FIELD_FRAME, DS_FIELD_FIRST,
                                                       DS_FIELD_SECOND};
    if (const auto index = oneOf(text, kNames)) return kIndicators[*index];
    throw UsageError("field " + quote(text) + " is not one of: both, first, second");
}

int parseDirection(std::string_view text) {
    static constexpr std::array<std::string_view, 2> kNames = {"horizontal", "vertical"};
    if (const auto index = oneOf(text, kNames)) return *index;
    throw UsageError("direction " + quote(text) + " is not one of: horizontal, vertical");
}

std::int64_t parseFrameCount(std::string_view text) {
    const auto count = wholeNumber<std::int64_t>(text);
    if (count.outOfRange && text.front() != '-') {
        throw UsageError("frame count " + quote(text) + " is too large: at most " +
                         std::to_string(std::numeric_limits<std::int64_t>::max()));
    }
    if (!count.value || *count.value < 1) {
        throw UsageError("frame count " + quote(text) + " is not a whole number of at least 1");
    }
    return *count.value;
}

std::optional<std::uint64_t> frameBytes(const FrameSize& size, int depth) {
    const std::uint64_t pixelBytes = depth == 16 ? 8 : 4;
    std::uint64_t pixels = 0;
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(size.width),
                               static_cast<std::uint64_t>(size.height), &pixels) ||
        __builtin_mul_overflow(pixels, pixelBytes, &bytes)) {
        return std::nullopt;
    }
    return bytes;
}

int largestWidth(int depth) {
    return std::numeric_limits<std::int32_t>::max() / (depth == 16 ? 8 : 4);
}

void requireFrameFits(const FrameSize& size, int depth, std::uint64_t memoryBytes) {
    const std::string subject =
        "size " + std::to_string(size.width) + "x" + std::to_string(size.height);
    if (size.width > largestWidth(depth)) {
        throw UsageError(subject + " is too wide at depth " + std::to_string(depth) +
                         ": the host steps between rows with a signed 32-bit count of bytes, so a "
                         "row holds at most " +
                         std::to_string(largestWidth(depth)) + " pixels");
    }
    const auto bytes = frameBytes(size, depth);
    if (bytes && *bytes <= memoryBytes) return;
    const std::string need = bytes ? "needs " + gibibytes(*bytes) : "needs more than 16 EiB";
    throw UsageError(subject + " " + need + " for one " + std::to_string(depth) +
                     "-bit frame, more than the " + gibibytes(memoryBytes) + " of memory here");
}

std::uint64_t physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : UINT64_MAX;
}

}  // namespace pattix::host

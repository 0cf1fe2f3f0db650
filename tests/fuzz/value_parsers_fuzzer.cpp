// libFuzzer target: the command line's value parsers. The first byte picks the parser, the rest
// is the value as typed. A value is accepted within its range, or refused with a UsageError whose
// message, as pattix prints it, is one printable line of bounded length.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "apps/host/errors.hpp"
#include "apps/host/pattern_names.hpp"
#include "apps/host/text.hpp"
#include "apps/host/value_parsers.hpp"
#include "apps/pattix/output_target.hpp"

namespace {

using namespace pattix;

void require(bool condition) {
    if (!condition) __builtin_trap();
}

void parse(std::uint8_t parser, std::string_view text) {
    switch (parser % 8) {
        case 0: {
            const host::FrameSize size = host::parseFrameSize(text);
            require(size.width >= 1 && size.height >= 1);
            host::requireFrameFits(size, parser & 8 ? 16 : 8, std::uint64_t{1} << 36);
            require(size.width <= host::largestWidth(parser & 8 ? 16 : 8));
            break;
        }
        case 1: {
            const host::PixelRegion region = host::parseRegion(text);
            require(region.width >= 1 && region.height >= 1);
            if (const auto clipped = host::clipRegion(region, {720, 576})) {
                require(clipped->x >= 0 && clipped->y >= 0 && clipped->width >= 1 &&
                        clipped->height >= 1 && clipped->x + clipped->width <= 720 &&
                        clipped->y + clipped->height <= 576);
            }
            break;
        }
        case 2: {
            const int depth = host::parseDepth(text);
            require(depth == 8 || depth == 16);
            break;
        }
        case 3:
            require(host::parseField(text) >= 0 && host::parseField(text) <= 2);
            break;
        case 4:
            require(host::parseDirection(text) == 0 || host::parseDirection(text) == 1);
            break;
        case 5:
            require(host::parseFrameCount(text) >= 1);
            break;
        case 6: {
            static const std::vector<std::string> ownNames = {
                "EBU Bars",        "75% Colour Bars",   "100% Colour Bars",
                "EIA Colour Bars", "SMPTE Colour Bars", "RGB Ramp",
                "Grey Ramp",       "RGB Crossed Ramp",  "Grey Crossed Ramp"};
            const int pattern = host::resolvePattern(text, ownNames);
            require(pattern >= 0 && pattern < 9);
            break;
        }
        default: {
            const cli::OutputTarget target = cli::parseOutputTarget(text);
            const std::string first = cli::frameFileName(target, 0);
            const std::string later = cli::frameFileName(target, INT64_MAX);
            require(target.kind != cli::OutputKind::PngSequence || first != later);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        parse(data[0], text);
    } catch (const host::UsageError& error) {
        const std::string shown = host::printable(error.what());
        require(shown.find('\n') == std::string::npos);
        // A quoted value is cut at 200 bytes, each shown in at most four characters.
        require(shown.size() < 1200);
    }
    return 0;
}

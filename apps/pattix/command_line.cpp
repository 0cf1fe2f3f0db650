#include "apps/pattix/command_line.hpp"

#include <CLI/CLI.hpp>

#include "apps/host/errors.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix::cli {

std::optional<Options> parseCommandLine(int argc, const char* const* argv) {
    CLI::App app(
        "Renders the Pattix test patterns through the Pattix effect module, loaded as the\n"
        "host loads it, into PNG files or raw video streams.",
        "pattix");
    app.get_formatter()->column_width(30);

    std::string pattern = "ebu", direction = "horizontal", size = "pal", world, depth = "8";
    std::string field = "both", region, frames = "1", output = "pattix.png";
    Options options;
    const auto option = [&app](const char* names, std::string& value, const char* typeName,
                               const char* description) {
        return app.add_option(names, value, description)
            ->type_name(typeName)
            ->capture_default_str();
    };

    const auto* patternOption =
        option("-p,--pattern", pattern, "P",
               "ebu, 75, 100, eia, smpte, rgb-ramp, grey-ramp, rgb-crossed-ramp,\n"
               "grey-crossed-ramp, a number 0-8 or a name from --list");
    const auto* directionOption =
        option("-d,--direction", direction, "DIR", "ramp direction: horizontal or vertical");
    option("-s,--size", size, "SIZE",
           "WxH, or ntsc (720x486), pal (720x576), 720p (1280x720),\n"
           "1080 (1920x1080), uhd (3840x2160)");
    const auto* worldOption =
        option("--world", world, "WxH", "the project's frame world size (default: the size)");
    option("--depth", depth, "BITS",
           "8: host images MFIF_RGBA_RAW_32, 16: MFIF_RGBA_S2_14\n"
           "(2.14 fixed point, written as 16-bit values)");
    option("--field", field, "FIELD",
           "both, first (the even rows counted from the bottom row)\nor second (the odd rows)");
    const auto* regionOption =
        option("--roi", region, "X,Y,W,H",
               "region of interest in pixels, x from the left, y from the\n"
               "bottom row; the rest of the picture stays zero");
    option("-n,--frames", frames, "N", "number of frames to render");
    option("-o,--output", output, "PATH",
           "x.png, or f%04d.png for one file per frame (from 0);\n"
           "x.rgba or - (standard output): raw frames, top row first,\n"
           "rgba at depth 8 and rgba64le at depth 16");
    option("--preset", options.presetPath, "FILE",
           "load parameter values saved with --save-preset\n(- for standard input)");
    option("--save-preset", options.savePresetPath, "FILE",
           "save this run's parameter values once its frames are\nwritten (- for standard output)");
    app.add_flag("--list", options.list,
                 "list the patterns: number, short name, own name\n(with --info: both)");
    app.add_flag("--info", options.info,
                 "what the module registers and declares: classes, families,\n"
                 "the effect, its parameters with types, defaults and values");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        app.exit(help);
        return std::nullopt;
    } catch (const CLI::ParseError& error) {
        throw host::UsageError(std::string(error.what()) + " (see --help)");
    }

    options.pattern = pattern;
    options.patternGiven = patternOption->count() > 0;
    options.direction = host::parseDirection(direction);
    options.directionGiven = directionOption->count() > 0;
    options.size = host::parseFrameSize(size);
    if (worldOption->count() > 0) options.world = host::parseFrameSize(world, "world size");
    options.depth = host::parseDepth(depth);
    options.field = host::parseField(field);
    if (regionOption->count() > 0) options.region = host::parseRegion(region);
    options.frames = host::parseFrameCount(frames);
    options.output = parseOutputTarget(output);
    if (options.output.kind == OutputKind::StandardOutput && options.savePresetPath == "-") {
        throw host::UsageError(
            "standard output can take the frames (-o -) or the preset (--save-preset -), not both");
    }
    return options;
}

}  // namespace pattix::cli

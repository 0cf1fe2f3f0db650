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

    std::string frames = "1", output = "pattix.png";
    Options options;
    host::PictureOptionSet picture;
    picture.addTo(app);
    host::addTextOption(app, "-n,--frames", frames, "N", "number of frames to render");
    host::addTextOption(app, "-o,--output", output, "PATH",
                        "x.png, or f%04d.png for one file per frame (from 0);\n"
                        "x.rgba or - (standard output): raw frames, top row first,\n"
                        "rgba at depth 8 and rgba64le at depth 16");
    picture.addPresetTo(app);
    host::addTextOption(
        app, "--save-preset", options.savePresetPath, "FILE",
        "save this run's parameter values once its frames are\nwritten (- for standard output)");
    app.add_flag("--list", options.list,
                 "list the patterns: number, short name, own name\n(with --info: both)");
    app.add_flag("--info", options.info,
                 "what the module registers and declares: classes, families,\n"
                 "the effect, its parameters with types, defaults and values");

    if (!host::parseCommandLine(app, argc, argv)) return std::nullopt;

    static_cast<host::PictureOptions&>(options) = picture.resolve();
    options.frames = host::parseFrameCount(frames);
    options.output = parseOutputTarget(output);
    if (options.output.kind == OutputKind::StandardOutput && options.savePresetPath == "-") {
        throw host::UsageError(
            "standard output can take the frames (-o -) or the preset (--save-preset -), not both");
    }
    return options;
}

}  // namespace pattix::cli

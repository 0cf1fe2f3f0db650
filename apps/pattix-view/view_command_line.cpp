#include "apps/pattix-view/view_command_line.hpp"

namespace pattix::view {

std::optional<ViewOptions> parseViewCommandLine(int argc, const char* const* argv) {
    CLI::App app(
        "Shows the Pattix effect module, loaded as the host loads it, in a viewer window\n"
        "with its property pages and its viewer tool. Mouse wheel: zoom about the pointer;\n"
        "middle drag: pan; F: fit; 1: one picture pixel per screen pixel; Ctrl+Z and\n"
        "Ctrl+Shift+Z: undo and redo; F1: the manual.",
        "pattix-view");
    app.get_formatter()->column_width(30);

    ViewOptions options;
    host::PictureOptionSet picture;
    std::string window = "1280x720";
    picture.addTo(app);
    picture.addPresetTo(app);
    host::addTextOption(app, "--window", window, "WxH", "the window's size in screen pixels");
    host::addTextOption(app, "--screenshot", options.screenshotPath, "FILE",
                        "save the window as a PNG file once it shows the picture, and exit");
    app.add_flag("--report", options.report,
                 "print on standard output what the window shows whenever it\n"
                 "changes (the picture, where each control lies) and how it closed");

    if (!host::parseCommandLine(app, argc, argv)) return std::nullopt;
    static_cast<host::PictureOptions&>(options) = picture.resolve();
    options.window = host::parseFrameSize(window, "window size");
    return options;
}

}  // namespace pattix::view

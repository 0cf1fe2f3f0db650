#include "apps/host/picture_options.hpp"

#include "apps/host/errors.hpp"
#include "sdk/host/project.hpp"

namespace pattix::host {

void PictureOptions::setProjectFrame() const {
    const FrameSize worldFrame = worldSize();
    sdk::host::setProjectFrame(size.width, size.height, worldFrame.width, worldFrame.height);
}

CLI::Option* addTextOption(CLI::App& app, const char* names, std::string& value,
                           const char* typeName, const char* description) {
    return app.add_option(names, value, description)->type_name(typeName)->capture_default_str();
}

bool parseCommandLine(CLI::App& app, int argc, const char* const* argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        app.exit(help);
        return false;
    } catch (const CLI::ParseError& error) {
        throw UsageError(std::string(error.what()) + " (see --help)");
    }
    return true;
}

void PictureOptionSet::addTo(CLI::App& app) {
    m_PatternOption =
        addTextOption(app, "-p,--pattern", m_Pattern, "P",
                      "ebu, 75, 100, eia, smpte, rgb-ramp, grey-ramp, rgb-crossed-ramp,\n"
                      "grey-crossed-ramp, a number 0-8 or a name from --list");
    m_DirectionOption = addTextOption(app, "-d,--direction", m_Direction, "DIR",
                                      "ramp direction: horizontal or vertical");
    addTextOption(app, "-s,--size", m_Size, "SIZE",
                  "WxH, or ntsc (720x486), pal (720x576), 720p (1280x720),\n"
                  "1080 (1920x1080), uhd (3840x2160)");
    m_WorldOption = addTextOption(app, "--world", m_World, "WxH",
                                  "the project's frame world size (default: the size)");
    addTextOption(app, "--depth", m_Depth, "BITS",
                  "8: host images MFIF_RGBA_RAW_32, 16: MFIF_RGBA_S2_14\n"
                  "(2.14 fixed point, written as 16-bit values)");
    addTextOption(
        app, "--field", m_Field, "FIELD",
        "both, first (the even rows counted from the bottom row)\nor second (the odd rows)");
    m_RegionOption = addTextOption(app, "--roi", m_Region, "X,Y,W,H",
                                   "region of interest in pixels, x from the left, y from the\n"
                                   "bottom row; the rest of the picture stays zero");
}

void PictureOptionSet::addPresetTo(CLI::App& app) {
    addTextOption(app, "--preset", m_Preset, "FILE",
                  "load parameter values saved with --save-preset\n(- for standard input)");
}

PictureOptions PictureOptionSet::resolve() const {
    PictureOptions options;
    options.pattern = m_Pattern;
    options.patternGiven = m_PatternOption != nullptr && m_PatternOption->count() > 0;
    options.direction = parseDirection(m_Direction);
    options.directionGiven = m_DirectionOption != nullptr && m_DirectionOption->count() > 0;
    options.size = parseFrameSize(m_Size);
    if (m_WorldOption != nullptr && m_WorldOption->count() > 0)
        options.world = parseFrameSize(m_World, "world size");
    options.depth = parseDepth(m_Depth);
    options.field = parseField(m_Field);
    if (m_RegionOption != nullptr && m_RegionOption->count() > 0)
        options.region = parseRegion(m_Region);
    options.presetPath = m_Preset;
    return options;
}

RenderSettings renderSettings(const PictureOptions& options) {
    RenderSettings settings;
    settings.size = options.size;
    settings.world = options.worldSize();
    settings.depth = options.depth;
    settings.field = options.field;
    if (options.region) settings.region = regionInside(*options.region, options.size);
    requireFrameFits(options.size, options.depth, physicalMemoryBytes());
    return settings;
}

}  // namespace pattix::host

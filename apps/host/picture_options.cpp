#include "apps/host/picture_options.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

#include "apps/host/errors.hpp"
#include "plugin/pages/parameters.hpp"

namespace pattix::host {
namespace {

std::uint64_t physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : UINT64_MAX;
}

std::string regionText(const PixelRegion& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
           std::to_string(r.height);
}

std::string readPreset(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        throw RunFailure("cannot read preset '" + path + "': " + std::strerror(errno));
    }
    return text.str();
}

}  // namespace

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
    addTextOption(app, "--field", m_Field, "FIELD",
                  "both, first (the even rows counted from the bottom row)\nor second (the odd rows)");
    m_RegionOption = addTextOption(app, "--roi", m_Region, "X,Y,W,H",
                                   "region of interest in pixels, x from the left, y from the\n"
                                   "bottom row; the rest of the picture stays zero");
}

void PictureOptionSet::addPresetTo(CLI::App& app) {
    addTextOption(app, "--preset", m_Preset, "FILE",
                  "load parameter values saved with --save-preset");
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
    if (options.region) {
        settings.region = clipRegion(*options.region, options.size);
        if (!settings.region) {
            throw UsageError("region '" + regionText(*options.region) + "' lies outside the " +
                             std::to_string(options.size.width) + "x" +
                             std::to_string(options.size.height) + " picture");
        }
    }
    requireFrameFits(options.size, options.depth, physicalMemoryBytes());
    return settings;
}

void applyPictureParameters(EffectInstance& effect, const PictureOptions& options, int pattern) {
    const bool preset = !options.presetPath.empty();
    if (preset) effect.loadPreset(readPreset(options.presetPath), "'" + options.presetPath + "'");
    if (!preset || options.patternGiven) effect.setInteger(PARAM_PATTERN, pattern);
    if (!preset || options.directionGiven)
        effect.setInteger(PARAM_RAMP_DIRECTION, options.direction);
}

}  // namespace pattix::host

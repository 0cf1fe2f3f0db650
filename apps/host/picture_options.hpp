// The command-line options that describe the picture a host program shows or writes (pattern,
// direction, size, world size, depth, field, region of interest, preset), shared by every host
// program, and what they turn into: the render settings and the effect's parameters.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "apps/host/frame_renderer.hpp"
#include "apps/host/parameter_choice.hpp"
#include "apps/host/value_parsers.hpp"

namespace pattix::host {

struct PictureOptions {
    // Resolved once the module is loaded, since the patterns' own names are accepted too.
    std::string pattern = "ebu";
    bool patternGiven = false;
    int direction = 0;
    bool directionGiven = false;
    FrameSize size{720, 576};
    std::optional<FrameSize> world;
    int depth = 8;
    int field = 0;
    std::optional<PixelRegion> region;
    std::string presetPath;

    FrameSize worldSize() const { return world.value_or(size); }
    // Gives the project this picture's frame sizes; the effect reads them when it is made.
    void setProjectFrame() const;
    // The parameters to set, with the Pattern value `pattern` resolved to.
    ParameterChoice parameterChoice(int patternValue) const {
        return {presetPath, patternValue, patternGiven, direction, directionGiven};
    }
};

// Adds an option read as text, showing `typeName` and its default in the help.
CLI::Option* addTextOption(CLI::App& app, const char* names, std::string& value,
                           const char* typeName, const char* description);

// Parses the command line. False when --help was asked for (and printed); throws UsageError
// for anything not accepted.
bool parseCommandLine(CLI::App& app, int argc, const char* const* argv);

// The picture options of a CLI::App, kept as typed until the command line has been parsed.
class PictureOptionSet {
public:
    // -p -d -s --world --depth --field --roi, in this order.
    void addTo(CLI::App& app);
    // --preset, which a program may place after options of its own.
    void addPresetTo(CLI::App& app);
    // After parsing: the checked values. Throws UsageError naming a bad one.
    PictureOptions resolve() const;

private:
    std::string m_Pattern = "ebu", m_Direction = "horizontal", m_Size = "pal", m_World;
    std::string m_Depth = "8", m_Field = "both", m_Region, m_Preset;
    const CLI::Option* m_PatternOption = nullptr;
    const CLI::Option* m_DirectionOption = nullptr;
    const CLI::Option* m_WorldOption = nullptr;
    const CLI::Option* m_RegionOption = nullptr;
};

// The settings to render with: the region clipped to the picture. Throws UsageError when the
// region misses the picture or one frame cannot fit in memory.
RenderSettings renderSettings(const PictureOptions& options);

}  // namespace pattix::host

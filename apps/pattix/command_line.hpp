// The command line of pattix, read with CLI11 into checked values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "apps/pattix/output_target.hpp"
#include "apps/host/value_parsers.hpp"

namespace pattix::cli {

struct Options {
    // Resolved once the module is loaded, since the patterns' own names are accepted too.
    std::string pattern = "ebu";
    bool patternGiven = false;
    int direction = 0;
    bool directionGiven = false;
    host::FrameSize size{720, 576};
    std::optional<host::FrameSize> world;
    int depth = 8;
    int field = 0;
    std::optional<host::PixelRegion> region;
    std::int64_t frames = 1;
    OutputTarget output;
    std::string presetPath;
    std::string savePresetPath;
    bool list = false;
    bool info = false;
};

// Reads the arguments. Answers nullopt when --help was asked for and printed; throws
// UsageError for anything not accepted.
std::optional<Options> parseCommandLine(int argc, const char* const* argv);

}  // namespace pattix::cli

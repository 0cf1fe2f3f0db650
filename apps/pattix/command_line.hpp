// The command line of pattix, read with CLI11 into checked values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "apps/host/picture_options.hpp"
#include "apps/pattix/output_target.hpp"

namespace pattix::cli {

// The picture options shared with the other host programs, and pattix's own.
struct Options : host::PictureOptions {
    std::int64_t frames = 1;
    OutputTarget output;
    std::string savePresetPath;
    bool list = false;
    bool info = false;
};

// Reads the arguments. Answers nullopt when --help was asked for and printed; throws
// UsageError for anything not accepted.
std::optional<Options> parseCommandLine(int argc, const char* const* argv);

}  // namespace pattix::cli

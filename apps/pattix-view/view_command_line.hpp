// The command line of pattix-view: the picture options shared with pattix, and the window's own.
#pragma once

#include <optional>
#include <string>

#include "apps/host/picture_options.hpp"

namespace pattix::view {

struct ViewOptions : host::PictureOptions {
    host::FrameSize window{1280, 720};
    std::string screenshotPath;
    bool report = false;
};

// Reads the arguments. Answers nullopt when --help was asked for and printed; throws
// UsageError for anything not accepted.
std::optional<ViewOptions> parseViewCommandLine(int argc, const char* const* argv);

}  // namespace pattix::view

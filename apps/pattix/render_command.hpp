// One run of pattix after its command line is read: load the module, then list, describe, or
// render frames to the output.
#pragma once

#include <string>

#include "apps/pattix/command_line.hpp"

namespace pattix::cli {

// Throws UsageError, RunFailure or Interrupted; answers 0 on success.
int runCommand(const Options& options, const std::string& modulePath);

}  // namespace pattix::cli

// Writing gathered byte ranges to a file descriptor in full: across partial writes, the
// system's limit on ranges per call, and interruptions by signals.
#pragma once

#include <sys/uio.h>

#include <span>
#include <string>

namespace pattix::cli {

// Writes every range of `ranges` in order (the array is advanced in place). Throws RunFailure
// naming `name` on an error, Interrupted when a stop signal arrived before or during the write,
// also when the write was only partly done.
void writeRanges(int fd, std::span<iovec> ranges, const std::string& name);

}  // namespace pattix::cli

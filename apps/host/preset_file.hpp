// Reading a preset file for a host program: bounded in size, since a preset is a few lines of
// text and anything much larger (a link to /dev/zero, a video given by mistake) must be refused
// before it fills the memory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace pattix::host {

inline constexpr std::size_t kLargestPreset = std::size_t{1} << 20;

// How messages name a preset: "'look.preset'", "on standard input" for "-".
std::string presetSource(const std::string& path);
// "preset 'look.preset'", "preset on standard input".
std::string presetName(const std::string& path);

// The text of the preset at `path` ("-": standard input). Throws RunFailure naming it when it
// cannot be read, is a folder or is larger than kLargestPreset. `interrupted` runs whenever a
// signal interrupts the wait (opening a FIFO waits for its writer); it may throw to stop.
std::string readPresetText(const std::string& path, const std::function<void()>& interrupted = {});

}  // namespace pattix::host

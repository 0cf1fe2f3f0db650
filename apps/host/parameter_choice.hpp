// The parameters a run asks for, in standard types only, so that front ends whose own headers
// cannot meet the host SDK's (GLib's TRUE and FALSE) can hold them too.
#pragma once

#include <string>

namespace pattix::host {

// A preset file first, then the values given, which win over it. Without a preset every value
// counts, defaults included.
struct ParameterChoice {
    std::string presetPath;  // empty: no preset
    int pattern = 0;
    bool patternGiven = false;
    int direction = 0;
    bool directionGiven = false;
};

}  // namespace pattix::host

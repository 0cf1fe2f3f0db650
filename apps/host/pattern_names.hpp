// The names a pattern goes by on the command line: a short name, its number, or the name the
// module gives it in its string table.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"

namespace pattix::host {

// Short names by Pattern value.
inline constexpr std::array<std::string_view, kPatternCount> kPatternShortNames = {
    "ebu",
    "75",
    "100",
    "eia",
    "smpte",
    "rgb-ramp",
    "grey-ramp",
    "rgb-crossed-ramp",
    "grey-crossed-ramp"};

// The Pattern value `text` names: a short name, a number 0-8 or one of `ownNames` (indexed by
// value), ignoring case. Throws UsageError listing what is accepted.
int resolvePattern(std::string_view text, std::span<const std::string> ownNames);

}  // namespace pattix::host

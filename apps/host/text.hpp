// Small text helpers of the host programs.
#pragma once

#include <string>
#include <string_view>

namespace pattix::host {

// ASCII case-insensitive comparison, for names typed on the command line.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The module's wide strings (UTF-32 on this platform) as UTF-8 for the terminal.
std::string toUtf8(std::wstring_view text);

}  // namespace pattix::host

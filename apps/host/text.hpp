// Small text helpers of the host programs.
#pragma once

#include <string>
#include <string_view>

namespace pattix::host {

// ASCII case-insensitive comparison, for names typed on the command line.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The module's wide strings (UTF-32 on this platform) as UTF-8 for the terminal.
std::string toUtf8(std::wstring_view text);

// Text safe to show on a terminal: control characters (C0 and C1) and bytes that are not UTF-8
// are written as \xNN, so that nothing a user or a file supplied can drive the terminal.
std::string printable(std::string_view text);

// A value as messages quote it: in single quotes, printable, and a long one by its start only.
// (Not named quoted: for a std::string, argument-dependent lookup would prefer std::quoted.)
std::string quote(std::string_view text);

}  // namespace pattix::host

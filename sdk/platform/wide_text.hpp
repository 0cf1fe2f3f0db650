// Wide strings (UTF-32 on this platform) to and from the UTF-8 of file names and text files.
#pragma once

#include <string>
#include <string_view>

#include "sdk/platform/types.hpp"

namespace sdk {

// Characters that are not Unicode scalar values become U+FFFD.
SDK_API std::string toUtf8(std::wstring_view text);
// Malformed sequences become U+FFFD, one per byte.
SDK_API std::wstring fromUtf8(std::string_view text);

// Case-insensitive comparison as Windows compares key, value and file names.
SDK_API bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace sdk

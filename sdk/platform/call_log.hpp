// Every host and platform call the module makes is logged here, and any of them can be made to
// fail, so tests can watch what the module asks of the host and how it meets a refusal.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/platform/types.hpp"

namespace sdk {

// Records a call by name and answers the failure injected for it, if any is pending.
SDK_API std::optional<HRESULT> hostCall(std::string_view name);

// The names of the calls made since the last clearCalls(), oldest first.
SDK_API std::vector<std::string> calls();
SDK_API std::size_t countCalls(std::string_view name);
SDK_API void clearCalls();

// After letting `skip` calls of `name` through, the next `times` calls fail with `result`
// (times < 0: every call until cleared).
SDK_API void failCall(std::string_view name, HRESULT result, int times = 1, int skip = 0);
SDK_API void clearFailures();

// Clears the log and every pending failure.
SDK_API void resetCallLog();

}  // namespace sdk

// The host project's values that effects read by name, such as the frame sizes.
#pragma once

#include <optional>
#include <string>

#include "sdk/platform/variant.hpp"

extern "C" {
// Reads a project value as a double (VT_R8). Negative when the name is unknown.
SDK_API HRESULT DSContentGetProperty(LPCWSTR name, VARIANT* value);
}

namespace sdk::host {

inline constexpr const wchar_t* kFrameUserSizeX = L"Project Frame User Size (X)";
inline constexpr const wchar_t* kFrameUserSizeY = L"Project Frame User Size (Y)";
inline constexpr const wchar_t* kFrameWorldSizeX = L"Project Frame World Size (X)";
inline constexpr const wchar_t* kFrameWorldSizeY = L"Project Frame World Size (Y)";

SDK_API void setProjectValue(const std::wstring& name, double value);
SDK_API void removeProjectValue(const std::wstring& name);
SDK_API void clearProjectValues();

// Sets the four frame sizes: user size and world size (world defaults to the user size).
SDK_API void setProjectFrame(double userWidth, double userHeight,
                             std::optional<double> worldWidth = std::nullopt,
                             std::optional<double> worldHeight = std::nullopt);

}  // namespace sdk::host

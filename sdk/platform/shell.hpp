// ShellExecuteW: opening a document with the desktop's opener. Windows paths map onto the file
// system by drive: drive X: is the folder $PATTIX_DRIVE_X; drive C: without the variable is
// share/pattix/drive_c beside the folder that holds libhostsdk.so (the build and install trees
// place the manual there). Path components match case-insensitively, as on Windows. The file is
// handed to $PATTIX_OPENER, or xdg-open, which is started and not waited for.
#pragma once

#include <filesystem>
#include <optional>

#include "sdk/platform/window.hpp"

// ShellExecuteW's failures are small numbers in place of an instance handle; above 32 is success.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int SE_ERR_NOASSOC = 31;

extern "C" {
// Verb null or "open". Answers a value above 32 once the opener has been started; SE_ERR_FNF
// for a file that does not exist, SE_ERR_PNF for a drive that is not mapped or a folder that
// does not exist, SE_ERR_NOASSOC for another verb or an opener that cannot be started.
SDK_API HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                LPCWSTR directory, int show);
}

namespace sdk {

// The file a Windows path stands for (existing or not), or nothing when its drive is not mapped.
SDK_API std::optional<std::filesystem::path> fileForWindowsPath(std::wstring_view path);

// Waits until every opener started so far has finished (tests, and hosts about to exit).
SDK_API void waitForOpeners();

}  // namespace sdk

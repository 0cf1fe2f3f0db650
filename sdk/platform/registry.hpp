// The registry calls, over a real store kept in a text file in the format of the registry
// editor's .reg exports ("Windows Registry Editor Version 5.00"). The file is
// $PATTIX_REGISTRY, or $XDG_CONFIG_HOME/pattix/registry.reg (~/.config/... without it). Key and
// value names compare case-insensitively; values keep their bytes exactly as they were set, so
// a string set without its terminator is read back without one, as on Windows.
#pragma once

#include <filesystem>

#include "sdk/platform/types.hpp"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

inline const HKEY HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000003u));

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_BADDB = 1009;

extern "C" {
// Opens an existing key below `key` (a root or an open key). ERROR_FILE_NOT_FOUND when there is
// no such key, ERROR_BADDB when the store's file cannot be read.
SDK_API LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
// Opens the key, making it (and the keys above it) when missing; the store is written at once.
SDK_API LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                                DWORD options, REGSAM access, void* security, PHKEY result,
                                DWORD* disposition);
// Reads a value (name null or empty: the key's default value). With `data` null only its type
// and size in bytes are answered. A buffer smaller than the value gets nothing and
// ERROR_MORE_DATA, with *dataSize set to the size needed. The bytes are copied as stored: a
// string stored without terminator gets none.
SDK_API LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type,
                                 BYTE* data, DWORD* dataSize);
// Stores `size` bytes under the name; for strings the size should count the terminator.
SDK_API LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                               const BYTE* data, DWORD size);
SDK_API LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);
SDK_API LSTATUS RegCloseKey(HKEY key);
}

namespace sdk {

// The file the registry is kept in now.
SDK_API std::filesystem::path registryFile();

}  // namespace sdk

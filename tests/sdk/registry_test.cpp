// The registry over its file: what a set-up writes reads back, the file format, names compared
// without case, and the byte-exact answers a caller sizes its buffer by.

#include "sdk/platform/registry.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/desktop.hpp"

namespace {

using pattix::testing::Desktop;

const wchar_t* const kKey = L"Software\\Microsoft\\Windows\\CurrentVersion";

std::wstring readString(HKEY key, const wchar_t* name) {
    WCHAR text[64] = {};
    DWORD size = sizeof text;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
        ERROR_SUCCESS) {
        return L"<none>";
    }
    return type == REG_SZ ? std::wstring(text, size / sizeof(WCHAR) - 1) : L"<not text>";
}

TEST(Registry, WhatASetUpWritesReadsBackFromTheFileWithoutCase) {
    Desktop desktop;
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const std::wstring folder = L"C:\\Program \"Files\" (x86)";
    ASSERT_EQ(RegSetValueExW(key, L"ProgramFilesDir (x86)", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(folder.c_str()),
                             static_cast<DWORD>((folder.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    std::stringstream file;
    file << std::ifstream(desktop.registry()).rdbuf();
    EXPECT_NE(file.str().find("\"ProgramFilesDir (x86)\"=\"C:\\\\Program \\\"Files\\\" (x86)\""),
              std::string::npos)
        << file.str();
    EXPECT_NE(file.str().find("\"Count\"=dword:00000001"), std::string::npos);

    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\microsoft\\WINDOWS\\CurrentVersion\\",
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(readString(key, L"programfilesdir (X86)"), folder);
    EXPECT_EQ(readString(key, L"Count"), L"<not text>");
    EXPECT_EQ(readString(key, L"ProgramFilesDir"), L"<none>");
    EXPECT_EQ(RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED)
        << "opened for reading only";
    RegCloseKey(key);

    HKEY parent = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\microsoft", 0, KEY_READ, &parent),
              ERROR_SUCCESS)
        << "a key above a stored key exists";
    RegCloseKey(parent);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Other", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
}

TEST(Registry, ValuesAreAnsweredAsStoredAndSizedBeforeCopying) {
    Desktop desktop;
    desktop.writeRegistry(
        "Windows Registry Editor Version 5.00\n\n"
        "; an export as the registry editor writes one\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test]\n"
        "@=\"default\"\n"
        "\"Raw\"=hex(1):41,00,00,00,42,00,00,00\n"  // "AB" without its terminator
        "\"Long\"=hex:01,02,03,\\\n  04,05\n");     // continued on the next line
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Test", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(readString(key, nullptr), L"default");

    const struct {
        const wchar_t* name;
        DWORD room;  // bytes offered
        LSTATUS status;
        DWORD size;  // bytes answered
        DWORD type;
    } cases[] = {
        {L"Raw", 64, ERROR_SUCCESS, 8, REG_SZ},
        {L"Raw", 7, ERROR_MORE_DATA, 8, REG_SZ},
        {L"Long", 5, ERROR_SUCCESS, 5, REG_BINARY},
        {L"Long", 4, ERROR_MORE_DATA, 5, REG_BINARY},
        {L"Missing", 64, ERROR_FILE_NOT_FOUND, 64, REG_NONE},
    };
    for (const auto& c : cases) {
        BYTE data[64];
        std::memset(data, 0xEE, sizeof data);
        DWORD size = c.room;
        DWORD type = REG_NONE;
        EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, data, &size), c.status) << c.name;
        EXPECT_EQ(size, c.size) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        // Nothing is written past the value, nor anything at all when it does not fit.
        EXPECT_EQ(data[c.status == ERROR_SUCCESS ? c.size : 0], 0xEE) << c.name;
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Raw", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    RegCloseKey(key);

    desktop.writeRegistry("not a registry export\n");
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Test", 0, KEY_READ, &key), ERROR_BADDB);
}

TEST(Registry, LivesInTheUsersConfigurationWithoutTheVariable) {
    Desktop desktop;
    unsetenv("PATTIX_REGISTRY");
    setenv("XDG_CONFIG_HOME", desktop.root().c_str(), 1);
    EXPECT_EQ(sdk::registryFile(), desktop.root() / "pattix" / "registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(sdk::registryFile(),
              std::filesystem::path("/home/someone/.config/pattix/registry.reg"));
    setenv("HOME", home.c_str(), 1);
}

}  // namespace

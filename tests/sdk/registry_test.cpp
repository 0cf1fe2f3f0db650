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

std::string fileText(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
}

TEST(Registry, WhatASetUpWritesReadsBackFromTheFileWithoutCase) {
    Desktop desktop;
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const wchar_t folder[] = L"C:\\Program \"Files\" (x86)";
    const DWORD one = 1;
    const auto set = [&](const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                              static_cast<DWORD>(size));
    };
    ASSERT_EQ(set(L"ProgramFilesDir (x86)", REG_SZ, folder, sizeof folder), ERROR_SUCCESS);
    ASSERT_EQ(set(L"Count", REG_DWORD, &one, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_NE(fileText(desktop.registry())
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
                        "\"ProgramFilesDir (x86)\"=\"C:\\\\Program \\\"Files\\\" (x86)\"\n"
                        "\"Count\"=dword:00000001\n"),
              std::string::npos)
        << fileText(desktop.registry());

    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\microsoft\\WINDOWS\\CurrentVersion\\",
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    WCHAR text[64] = {};
    DWORD size = sizeof text, type = REG_NONE;
    EXPECT_EQ(RegQueryValueExW(key, L"programfilesdir (X86)", nullptr, &type,
                               reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof folder);
    EXPECT_STREQ(text, folder);
    EXPECT_EQ(set(L"Count", REG_DWORD, &one, 4), ERROR_ACCESS_DENIED) << "opened for reading";
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
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
    const struct {
        const wchar_t* name;
        DWORD room;  // bytes offered
        LSTATUS status;
        DWORD size;  // bytes answered
        DWORD type;
    } cases[] = {
        {nullptr, 64, ERROR_SUCCESS, 32, REG_SZ},
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
        EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, data, &size), c.status);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(type, c.type);
        // Nothing is written past the value, nor anything at all when it does not fit.
        EXPECT_EQ(data[c.status == ERROR_SUCCESS ? c.size : 0], 0xEE);
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
    EXPECT_EQ(sdk::registryFile(), "/home/someone/.config/pattix/registry.reg");
    setenv("HOME", home.c_str(), 1);
}

}  // namespace

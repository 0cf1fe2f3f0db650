// ShellExecuteW: Windows paths onto the file system by drive, the opener started for existing
// files only, and the platform's success and failure values.

#include "sdk/platform/shell.hpp"

#include <gtest/gtest.h>

#include "sdk/platform/wide_text.hpp"
#include "tests/support/desktop.hpp"

namespace {

using pattix::testing::Desktop;

int shellResult(LPCWSTR verb, LPCWSTR file) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(
        ShellExecuteW(nullptr, verb, file, nullptr, nullptr, SW_SHOWDEFAULT)));
}

TEST(ShellExecute, OpensExistingFilesOnMappedDrivesOnly) {
    Desktop desktop;
    const std::string manual = desktop.makeFile("C:\\Program Files\\Maker\\Manual.pdf").string();
    const std::string other = (desktop.root() / "Manual.pdf").string();
    desktop.makeFile("C:\\Other.pdf");
    std::filesystem::rename(desktop.driveC() / "Other.pdf", other);
    setenv("PATTIX_DRIVE_D", desktop.root().c_str(), 1);

    const struct {
        const wchar_t* verb;
        const wchar_t* file;
        int result;  // above 32: the file reaches the opener
        std::string opened;
    } cases[] = {
        {L"open", L"C:\\Program Files\\Maker\\Manual.pdf", 33, manual},
        {nullptr, L"c:/PROGRAM FILES/maker/manual.PDF", 33, manual},  // case and slashes as Windows
        {L"OPEN", L"C:\\Program Files\\Maker\\..\\Maker\\.\\Manual.pdf", 33, manual},
        {L"open", L"d:\\Manual.pdf", 33, other},
        {L"open", L"C:\\Program Files\\Maker\\Missing.pdf", SE_ERR_FNF, ""},
        {L"open", L"C:\\No Such Folder\\Manual.pdf", SE_ERR_PNF, ""},
        {L"open", L"E:\\Manual.pdf", SE_ERR_PNF, ""},
        {L"open", L"Manual.pdf", SE_ERR_PNF, ""},
        {L"edit", L"C:\\Program Files\\Maker\\Manual.pdf", SE_ERR_NOASSOC, ""},
    };
    for (const auto& c : cases) {
        const int result = shellResult(c.verb, c.file);
        if (c.result > 32) {
            EXPECT_GT(result, 32) << sdk::toUtf8(c.file);
        } else {
            EXPECT_EQ(result, c.result) << sdk::toUtf8(c.file);
        }
        const auto opened = desktop.opened();
        EXPECT_EQ(opened.empty() ? "" : opened.back(), c.opened) << sdk::toUtf8(c.file);
        std::filesystem::remove(desktop.opener().string() + ".log");
    }
    unsetenv("PATTIX_DRIVE_D");

    setenv("PATTIX_OPENER", (desktop.root() / "no-such-opener").c_str(), 1);
    EXPECT_EQ(shellResult(L"open", L"C:\\Program Files\\Maker\\Manual.pdf"), SE_ERR_NOASSOC);
}

TEST(ShellExecute, DriveCDefaultsToTheFolderBesideTheLibrary) {
    unsetenv("PATTIX_DRIVE_C");
    const auto file = sdk::fileForWindowsPath(L"C:\\Program Files\\x.pdf");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->parent_path().parent_path().filename(), "drive_c");
    EXPECT_EQ(
        file->parent_path().parent_path().parent_path(),
        std::filesystem::path(PATTIX_MODULE_PATH).parent_path().parent_path() / "share" / "pattix");
}

}  // namespace

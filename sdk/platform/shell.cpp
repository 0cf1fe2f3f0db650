#include "sdk/platform/shell.hpp"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/platform/call_log.hpp"
#include "sdk/platform/wide_text.hpp"

extern char** environ;

namespace sdk {
namespace {

HINSTANCE shellResult(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

// Any value above 32 means success; the opener's process id would do but may be small.
constexpr int kOpened = 42;

struct Openers {
    std::mutex mutex;
    std::vector<pid_t> running;
};

Openers& openers() {
    static Openers instance;
    return instance;
}

// Reaps openers that have finished, so none is left a zombie.
void reapFinished(Openers& o) {
    std::erase_if(o.running, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

std::filesystem::path defaultDriveC() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&defaultDriveC), &info) != 0 &&
        info.dli_fname != nullptr) {
        std::error_code ec;
        const auto library = std::filesystem::canonical(info.dli_fname, ec);
        if (!ec) return library.parent_path().parent_path() / "share" / "pattix" / "drive_c";
    }
    return std::filesystem::current_path() / "drive_c";
}

std::optional<std::filesystem::path> driveFolder(wchar_t letter) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const std::string variable = std::string("PATTIX_DRIVE_") + upper;
    if (const char* folder = std::getenv(variable.c_str()); folder != nullptr && *folder != '\0') {
        return std::filesystem::path(folder);
    }
    if (upper == 'C') return defaultDriveC();
    return std::nullopt;
}

// The entry of `folder` named `name`: the exact name when present, else one that differs only
// in case.
std::filesystem::path entryIgnoringCase(const std::filesystem::path& folder,
                                        const std::wstring& name) {
    const std::filesystem::path exact = folder / toUtf8(name);
    std::error_code ec;
    if (std::filesystem::exists(exact, ec)) return exact;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (equalsIgnoringCase(fromUtf8(entry.path().filename().string()), name))
            return entry.path();
    }
    return exact;
}

}  // namespace

std::optional<std::filesystem::path> fileForWindowsPath(std::wstring_view path) {
    if (path.size() < 2 || path[1] != L':' || !std::iswalpha(static_cast<wint_t>(path[0]))) {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> file = driveFolder(path[0]);
    if (!file) return std::nullopt;
    std::wstring component;
    for (std::size_t i = 2; i <= path.size(); ++i) {
        const bool separator = i == path.size() || path[i] == L'\\' || path[i] == L'/';
        if (!separator) {
            component += path[i];
            continue;
        }
        if (component == L"..") {
            if (file->has_relative_path()) *file = file->parent_path();
        } else if (!component.empty() && component != L".") {
            *file = entryIgnoringCase(*file, component);
        }
        component.clear();
    }
    return file;
}

void waitForOpeners() {
    Openers& o = openers();
    std::lock_guard lock(o.mutex);
    for (const pid_t pid : o.running) waitpid(pid, nullptr, 0);
    o.running.clear();
}

}  // namespace sdk

extern "C" HINSTANCE ShellExecuteW(HWND /*owner*/, LPCWSTR verb, LPCWSTR file,
                                   LPCWSTR /*parameters*/, LPCWSTR /*directory*/, int /*show*/) {
    if (auto failure = sdk::hostCall("ShellExecuteW")) return sdk::shellResult(*failure);
    if (verb != nullptr && !sdk::equalsIgnoringCase(verb, L"open")) {
        return sdk::shellResult(SE_ERR_NOASSOC);
    }
    if (file == nullptr) return sdk::shellResult(SE_ERR_FNF);
    const auto target = sdk::fileForWindowsPath(file);
    if (!target) return sdk::shellResult(SE_ERR_PNF);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(*target, ec)) {
        return sdk::shellResult(
            std::filesystem::is_directory(target->parent_path(), ec) ? SE_ERR_FNF : SE_ERR_PNF);
    }

    const char* chosen = std::getenv("PATTIX_OPENER");
    const std::string opener = chosen != nullptr && *chosen != '\0' ? chosen : "xdg-open";
    const std::string argument = target->string();
    char* argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(argument.c_str()),
                    nullptr};
    sdk::Openers& o = sdk::openers();
    std::lock_guard lock(o.mutex);
    sdk::reapFinished(o);
    pid_t pid = 0;
    if (posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return sdk::shellResult(SE_ERR_NOASSOC);
    }
    o.running.push_back(pid);
    return sdk::shellResult(sdk::kOpened);
}

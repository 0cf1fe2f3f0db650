// Running the built pattix program from tests, in a folder of its own.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace pattix::testing {

// A fresh folder, removed with everything in it when the test ends.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return m_Path; }
    std::filesystem::path operator/(const std::string& name) const { return m_Path / name; }
    // The names in the folder, hidden ones included, sorted.
    std::vector<std::string> names() const;

private:
    std::filesystem::path m_Path;
};

struct RunResult {
    int status = -1;  // the exit status, or 128 + n when killed by signal n
    std::string out;
    std::string err;
};

// Runs pattix with `arguments` in `folder` (its standard output and error captured) and waits.
RunResult runPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder);

// Runs pattix with its standard error on a terminal (a pseudo-terminal read by the test) and
// standard output on /dev/null; `err` is what the terminal showed.
RunResult runPattixOnTerminal(const std::vector<std::string>& arguments,
                              const std::filesystem::path& folder);

// Starts pattix in `folder` without waiting; standard output and error go to /dev/null.
pid_t startPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder);
// Waits for a started pattix; its exit status as in RunResult.
int waitForPattix(pid_t pid);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

}  // namespace pattix::testing

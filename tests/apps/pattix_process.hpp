// Running the built programs from tests, in a folder of their own.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
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

private:
    std::filesystem::path m_Path;
};

struct RunResult {
    int status = -1;  // the exit status, or 128 + n when killed by signal n
    std::string out;
    std::string err;
};

// How a program is started: descriptors for its standard streams (-1: /dev/null), and what its
// process does before the program runs (signal dispositions, limits, closed streams).
struct Launch {
    int in = -1, out = -1, err = -1;
    std::function<void()> prepare;
};

// Starts `command` (a path, or a name looked up on PATH) in `folder` without waiting.
pid_t startProgram(const std::vector<std::string>& command, const std::filesystem::path& folder,
                   const Launch& launch = {});
// Starts the built pattix with `arguments`.
pid_t startPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
                  const Launch& launch = {});
// Waits for a started program; its status as in RunResult.
int waitForPattix(pid_t pid);

// Runs `command` and waits. Standard error is captured, and standard output too unless `launch`
// gives it a descriptor.
RunResult runProgram(const std::vector<std::string>& command, const std::filesystem::path& folder,
                     const Launch& launch = {});
// runProgram with the built pattix.
RunResult runPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
                    const Launch& launch = {});

// Watches a folder from before pattix starts, to learn without polling when it writes there.
class FolderWatch {
public:
    explicit FolderWatch(const std::filesystem::path& folder);
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch();

    // Waits until a file whose name begins with `prefix` is written to; false when `pid`
    // ends first, or after a minute (an input event lost would otherwise hang the suite).
    bool waitForWrite(const std::string& prefix, pid_t pid);

private:
    int m_Fd;
};

// A pipe whose ends close with it.
struct Pipe {
    int read = -1, write = -1;
    Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe();
    void closeWrite();
    // Reads until `count` bytes came or the writer is gone; answers how many came.
    std::size_t drain(std::size_t count = SIZE_MAX);
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

}  // namespace pattix::testing

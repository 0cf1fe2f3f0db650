#include "tests/apps/pattix_process.hpp"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pattix::testing {
namespace {

// Forks and runs pattix in `folder` with standard output to `outPath` and standard error to
// `errPath`, or to `errTerminal` when that is an open descriptor.
pid_t spawn(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
            const std::string& outPath, const std::string& errPath, int errTerminal = -1) {
    std::vector<char*> argv;
    std::string program = PATTIX_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = errTerminal >= 0
                            ? errTerminal
                            : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(err, STDERR_FILENO) < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed");
    return pid;
}

}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pattix-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_Path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_Path, ec);
}

std::vector<std::string> TempFolder::names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_Path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

RunResult runPattix(const std::vector<std::string>& arguments,
                    const std::filesystem::path& folder) {
    // The captured streams live beside the folder so they never show up in its listing.
    const TempFolder streams;
    const std::string outPath = (streams / "out").string();
    const std::string errPath = (streams / "err").string();
    RunResult result;
    result.status = waitForPattix(spawn(arguments, folder, outPath, errPath));
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

RunResult runPattixOnTerminal(const std::vector<std::string>& arguments,
                              const std::filesystem::path& folder) {
    int controller = -1;
    int terminal = -1;
    if (::openpty(&controller, &terminal, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    const pid_t pid = spawn(arguments, folder, "/dev/null", "", terminal);
    ::close(terminal);
    RunResult result;
    char buffer[4096];
    // Reading ends with EIO once the program has exited and closed its side.
    for (ssize_t n;
         (n = ::read(controller, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);) {
        if (n > 0) result.err.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(controller);
    result.status = waitForPattix(pid);
    return result;
}

pid_t startPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder) {
    return spawn(arguments, folder, "/dev/null", "/dev/null");
}

int waitForPattix(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace pattix::testing

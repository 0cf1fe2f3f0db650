#include "tests/apps/pattix_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace pattix::testing {
namespace {

// Forks and runs pattix in `folder` with its standard streams on the launch's descriptors.
pid_t spawn(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
            const Launch& launch) {
    std::vector<char*> argv;
    std::string program = PATTIX_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        const int streams[] = {launch.in, launch.out, launch.err};
        for (int target = 0; target < 3; ++target) {
            if (::dup2(streams[target] >= 0 ? streams[target] : null, target) < 0) ::_exit(127);
        }
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        if (launch.prepare) launch.prepare();
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed");
    return pid;
}

int openForWriting(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    return fd;
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

RunResult runPattixInto(const std::vector<std::string>& arguments,
                        const std::filesystem::path& folder, const Launch& launch) {
    // The captured stream lives beside the folder so it never shows up in its listing.
    const TempFolder streams;
    const std::string errPath = (streams / "err").string();
    Launch captured = launch;
    captured.err = openForWriting(errPath);
    RunResult result;
    result.status = waitForPattix(spawn(arguments, folder, captured));
    ::close(captured.err);
    result.err = readFile(errPath);
    return result;
}

RunResult runPattix(const std::vector<std::string>& arguments,
                    const std::filesystem::path& folder) {
    const TempFolder streams;
    const std::string outPath = (streams / "out").string();
    Launch launch;
    launch.out = openForWriting(outPath);
    RunResult result = runPattixInto(arguments, folder, launch);
    ::close(launch.out);
    result.out = readFile(outPath);
    return result;
}

RunResult runPattixOnTerminal(const std::vector<std::string>& arguments,
                              const std::filesystem::path& folder) {
    int controller = -1;
    int terminal = -1;
    if (::openpty(&controller, &terminal, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    Launch launch;
    launch.err = terminal;
    const pid_t pid = spawn(arguments, folder, launch);
    // Once pattix has exited, a marker written behind its output through the same terminal
    // shows where its output ends: reading until the terminal hangs up could lose the last
    // bytes still on their way through it.
    static constexpr std::string_view kEnd = "\x01end of pattix\x01";
    RunResult result;
    std::thread waiter([&] {
        result.status = waitForPattix(pid);
        if (::write(terminal, kEnd.data(), kEnd.size()) != static_cast<ssize_t>(kEnd.size())) {
            ::close(terminal);  // the reader then stops at the hang-up
            terminal = -1;
        }
    });
    char buffer[4096];
    while (!result.err.ends_with(kEnd)) {
        const ssize_t n = ::read(controller, buffer, sizeof buffer);
        if (n > 0) {
            result.err.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    waiter.join();
    if (result.err.ends_with(kEnd)) result.err.resize(result.err.size() - kEnd.size());
    if (terminal >= 0) ::close(terminal);
    ::close(controller);
    return result;
}

pid_t startPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
                  const Launch& launch) {
    return spawn(arguments, folder, launch);
}

int waitForPattix(pid_t pid, long* maxResidentKiB) {
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) return -1;
    }
    if (maxResidentKiB != nullptr) *maxResidentKiB = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

FolderWatch::FolderWatch(const std::filesystem::path& folder) : m_Fd(::inotify_init1(IN_CLOEXEC)) {
    if (m_Fd < 0 || ::inotify_add_watch(m_Fd, folder.c_str(), IN_MODIFY) < 0) {
        throw std::runtime_error("cannot watch " + folder.string());
    }
}

FolderWatch::~FolderWatch() {
    ::close(m_Fd);
}

bool FolderWatch::waitForWrite(const std::string& prefix, pid_t pid) {
    const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (process < 0) throw std::runtime_error("pidfd_open failed");
    alignas(inotify_event) char buffer[4096];
    bool written = false;
    while (!written) {
        pollfd waits[] = {{m_Fd, POLLIN, 0}, {process, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR) break;
        if (waits[0].revents & POLLIN) {
            const ssize_t length = ::read(m_Fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::string(event->name).rfind(prefix, 0) == 0)
                    written = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        } else if (waits[1].revents & POLLIN) {
            break;  // pattix ended without writing
        }
    }
    ::close(process);
    return written;
}

Pipe::Pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    read = ends[0];
    write = ends[1];
}

Pipe::~Pipe() {
    closeWrite();
    if (read >= 0) ::close(read);
}

void Pipe::closeWrite() {
    if (write >= 0) ::close(write);
    write = -1;
}

std::size_t Pipe::drain(std::size_t count) {
    std::size_t got = 0;
    char buffer[65536];
    while (got < count) {
        const ssize_t n = ::read(read, buffer, std::min(sizeof buffer, count - got));
        if (n == 0 || (n < 0 && errno != EINTR)) break;
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    return got;
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

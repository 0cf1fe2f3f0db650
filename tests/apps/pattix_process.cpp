#include "tests/apps/pattix_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pattix::testing {
TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pattix-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_Path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_Path, ec);
}

pid_t startProgram(const std::vector<std::string>& command, const std::filesystem::path& folder,
                   const Launch& launch) {
    std::vector<std::string> copies = command;
    std::vector<char*> argv;
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
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed");
    return pid;
}

pid_t startPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
                  const Launch& launch) {
    std::vector<std::string> command{PATTIX_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return startProgram(command, folder, launch);
}

int waitForPattix(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

RunResult runProgram(const std::vector<std::string>& command, const std::filesystem::path& folder,
                     const Launch& launch) {
    // The captured streams live beside the folder so they never show up in its listing.
    const TempFolder streams;
    Launch captured = launch;
    for (auto [fd, name] : {std::pair{&captured.out, "out"}, std::pair{&captured.err, "err"}}) {
        if (*fd < 0) *fd = ::open((streams / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    }
    RunResult result;
    result.status = waitForPattix(startProgram(command, folder, captured));
    for (const int fd : {captured.out, captured.err}) {
        if (fd != launch.out && fd != launch.err) ::close(fd);
    }
    result.out = readFile(streams / "out");
    result.err = readFile(streams / "err");
    return result;
}

RunResult runPattix(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
                    const Launch& launch) {
    std::vector<std::string> command{PATTIX_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return runProgram(command, folder, launch);
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
        const int ready = ::poll(waits, 2, 60'000);
        if (ready == 0 || (ready < 0 && errno != EINTR)) break;
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

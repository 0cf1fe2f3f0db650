// Kernel thread ids, for tests that check which threads did a piece of work and that stopped
// workers have left the process.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace pattix::testing {

// The threads of this process now; with a name, only those of that name.
inline std::set<pid_t> processThreads(const std::string& name = {}) {
    std::set<pid_t> threads;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        if (!name.empty()) std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm == name)
            threads.insert(static_cast<pid_t>(std::stoi(task.path().filename().string())));
    }
    return threads;
}

// True once thread `tid` has left the process. The kernel wakes a joining thread a few
// instructions before it unlinks the thread that ended, so a joined thread is gone at once; a
// thread nobody joined never goes, and the wait gives up after ten seconds.
inline bool threadEnds(pid_t tid) {
    const std::filesystem::path task = "/proc/self/task/" + std::to_string(tid);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::filesystem::exists(task)) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace pattix::testing

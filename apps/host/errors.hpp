// How a run of a host program ends early: each kind carries its exit status, and the message is
// the one line printed on standard error.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pattix::host {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The command line asks for something that cannot be done (exit status 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Doing what was asked failed: a file, the module, memory (exit status 1).
class RunFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A signal asked the run to stop (exit status 128 + the signal number, as shells report it).
class Interrupted : public std::runtime_error {
public:
    explicit Interrupted(int signalNumber)
        : std::runtime_error("interrupted"), m_Signal(signalNumber) {}
    int exitStatus() const { return 128 + m_Signal; }

private:
    int m_Signal;
};

// "cannot write NAME: REASON", how the host programs report a write that failed; without a
// reason just "cannot write NAME".
std::string cannotWrite(std::string_view name, std::string_view reason);

// Prints "PROGRAM: MESSAGE" on standard error, after what went to standard output, and returns
// `status`. Messages quote what users and files supplied, so the whole line is made printable:
// none of it may drive the terminal.
int failRun(std::string_view program, int status, std::string_view message);

}  // namespace pattix::host

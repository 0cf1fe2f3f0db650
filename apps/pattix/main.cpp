// pattix: renders the Pattix test patterns by driving the module as the host does.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/text.hpp"
#include "apps/pattix/command_line.hpp"
#include "apps/pattix/render_command.hpp"

namespace {

int fail(int status, const std::string& message) {
    return pattix::host::failRun("pattix", status, message);
}

// What went to standard output (help, lists, the closing line, a preset) counts only once it
// is out: a full disk or a closed descriptor fails the run instead of passing unseen.
int finishStandardOutput() {
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout) && std::cout.good()) return 0;
    return fail(
        pattix::host::kExitFailure,
        pattix::host::cannotWrite("standard output", error != 0 ? std::strerror(error) : ""));
}

std::string stopMessage(int exitStatus) {
    const char* name = sigabbrev_np(exitStatus - 128);
    return std::string("interrupted") + (name != nullptr ? std::string(" by SIG") + name : "") +
           "; unfinished output removed";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pattix;
    using namespace pattix::cli;
    // A reader that goes away (`pattix -o - | head -c 100`) becomes a write error with a
    // message, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        const auto options = parseCommandLine(argc, argv);
        const int status = options ? runCommand(*options, host::installedModulePath(argv[0])) : 0;
        return status != 0 ? status : finishStandardOutput();
    } catch (const host::UsageError& error) {
        return fail(host::kExitUsage, error.what());
    } catch (const host::Interrupted& interrupted) {
        return fail(interrupted.exitStatus(), stopMessage(interrupted.exitStatus()));
    } catch (const std::exception& error) {
        return fail(host::kExitFailure, error.what());
    }
}

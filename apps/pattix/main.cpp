// pattix: renders the Pattix test patterns by driving the module as the host does.

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix/command_line.hpp"
#include "apps/pattix/render_command.hpp"

namespace {

int fail(int status, const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "pattix: %s\n", message);
    return status;
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
        if (!options) return 0;
        return runCommand(*options, host::installedModulePath(argv[0]));
    } catch (const host::UsageError& error) {
        return fail(host::kExitUsage, error.what());
    } catch (const host::Interrupted& interrupted) {
        return fail(interrupted.exitStatus(), "interrupted; unfinished output removed");
    } catch (const host::RunFailure& error) {
        return fail(host::kExitFailure, error.what());
    } catch (const std::exception& error) {
        return fail(host::kExitFailure, error.what());
    }
}

// pattix-view: the Pattix effect live in a window, with its property pages and viewer tool,
// driven as the host drives it.

#include <cstdio>
#include <exception>
#include <string>

#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/pattern_names.hpp"
#include "apps/host/text.hpp"
#include "apps/pattix-view/view_command_line.hpp"
#include "apps/pattix-view/viewer_window.hpp"
#include "sdk/host/viewer.hpp"
#include "sdk/platform/shell.hpp"

namespace {

using namespace pattix;

int fail(int status, const std::string& message) {
    return host::failRun("pattix-view", status, message);
}

void runView(const view::ViewOptions& options, const std::string& modulePath) {
    const host::ModuleSession session(modulePath);
    std::vector<std::string> patternNames = session.patternNames();
    const int pattern = host::resolvePattern(options.pattern, patternNames);
    // Checked before anything opens, so a bad region or size fails with its message alone.
    host::renderSettings(options);
    options.setProjectFrame();
    {
        host::EffectInstance effect(session.createEffect());
        effect.apply(options.parameterChoice(pattern));
        view::ViewerWindow window(options, session, effect, std::move(patternNames));
        window.run();
    }
    // Every page is gone, so the effect's tool must have left the viewer controller, and with
    // the effect released the module must agree to be unloaded.
    if (!sdk::host::viewerContexts().empty())
        throw host::RunFailure("the effect's viewer tool is still pushed after its pages closed");
    if (session.module().canUnloadNow() != S_OK)
        throw host::RunFailure("the module still has live objects and cannot be unloaded");
    // A help document being opened is the desktop's from now on, but its opener is waited for.
    sdk::waitForOpeners();
    if (options.report) {
        std::puts("closed: overlay removed, module unloaded");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const auto options = view::parseViewCommandLine(argc, argv);
        if (!options) return 0;
        runView(*options, host::installedModulePath(argv[0]));
        return 0;
    } catch (const host::UsageError& error) {
        return fail(host::kExitUsage, error.what());
    } catch (const std::exception& error) {
        return fail(host::kExitFailure, error.what());
    }
}

#include "apps/pattix/render_command.hpp"

#include <unistd.h>

#include <csignal>

#include "apps/host/errors.hpp"
#include "apps/pattix/descriptor_output.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/pattix/frame_sink.hpp"
#include "apps/pattix/module_report.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/pattern_names.hpp"
#include "apps/pattix/progress_meter.hpp"
#include "apps/pattix/staged_file.hpp"
#include "apps/pattix/stop_signal.hpp"
#include "sdk/host/project.hpp"

namespace pattix::cli {
namespace {

void savePreset(const std::string& path, const std::string& text) {
    StagedFile file(path);
    iovec range{const_cast<char*>(text.data()), text.size()};
    writeRanges(file.fd(), {&range, 1}, "'" + path + "'");
    file.commit();
}

void applyParameters(host::EffectInstance& effect, const Options& options, int pattern) {
    host::applyPictureParameters(effect, options, pattern);
    if (!options.savePresetPath.empty()) savePreset(options.savePresetPath, effect.savePreset());
}

void renderFrames(host::EffectInstance& effect, const Options& options, const host::RenderSettings& settings,
                  sdk::host::HostExecutionContext& context, const std::string& patternName) {
    host::FrameRenderer renderer(effect, settings, context);
    const auto sink = openFrameSink(options.output, renderer.image(), options.frames);
    {
        ProgressMeter progress(stderr, options.frames,
                               options.frames > 1 && isTerminal(STDERR_FILENO));
        for (std::int64_t frame = 0; frame < options.frames; ++frame) {
            StopSignal::throwIfReceived();
            if (!renderer.render(frame)) {
                const int signalNumber = StopSignal::received();
                throw host::Interrupted(signalNumber != 0 ? signalNumber : SIGINT);
            }
            sink->frame(frame);
            progress.frameDone();
        }
    }
    const std::string where = sink->finish();
    if (where.empty()) return;
    std::printf("Wrote %s, %dx%d, %d-bit, %lld frame%s to %s\n", patternName.c_str(),
                options.size.width, options.size.height, options.depth,
                static_cast<long long>(options.frames), options.frames == 1 ? "" : "s",
                where.c_str());
}

}  // namespace

int runCommand(const Options& options, const std::string& modulePath) {
    sdk::host::HostExecutionContext context;
    const StopSignal stopSignal(context);
    const host::ModuleSession session(modulePath);
    if (options.list) {
        printPatternList(stdout, session);
        return 0;
    }
    const std::vector<std::string> patternNames = session.patternNames();
    const int pattern = options.info ? 0 : host::resolvePattern(options.pattern, patternNames);

    const host::RenderSettings settings = options.info ? host::RenderSettings{} : host::renderSettings(options);
    // The effect reads the project's frame size when it is made.
    const host::FrameSize world = options.world.value_or(options.size);
    sdk::host::setProjectFrame(options.size.width, options.size.height, world.width, world.height);
    host::EffectInstance effect(session.createEffect());
    if (options.info) {
        printModuleInfo(stdout, session, effect);
        return 0;
    }
    applyParameters(effect, options, pattern);
    const LONG chosen = effect.value(PARAM_PATTERN);
    const std::string name = chosen >= 0 && chosen < kPatternCount
                                 ? patternNames[static_cast<std::size_t>(chosen)]
                                 : "pattern " + std::to_string(chosen);
    renderFrames(effect, options, settings, context, name);
    return 0;
}

}  // namespace pattix::cli

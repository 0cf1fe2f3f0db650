#include "apps/pattix/render_command.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>

#include "apps/host/errors.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/pattern_names.hpp"
#include "apps/host/preset_file.hpp"
#include "apps/host/text.hpp"
#include "apps/pattix/descriptor_output.hpp"
#include "apps/pattix/frame_sink.hpp"
#include "apps/pattix/module_report.hpp"
#include "apps/pattix/png_frame_writer.hpp"
#include "apps/pattix/progress_meter.hpp"
#include "apps/pattix/staged_file.hpp"
#include "apps/pattix/stop_signal.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"

namespace pattix::cli {
namespace {

// Writes the preset into its file, opened before the render (so that an unwritable path fails
// before it), or onto standard output for "-".
void savePreset(std::optional<StagedFile>& file, const std::string& text) {
    if (!file) {
        // Checked with the rest of standard output when the program ends.
        std::fputs(text.c_str(), stdout);
        return;
    }
    iovec range{const_cast<char*>(text.data()), text.size()};
    writeRanges(file->fd(), {&range, 1}, host::quote(file->target()));
    file->commit();
}

void applyParameters(host::EffectInstance& effect, const Options& options, int pattern) {
    effect.apply(options.parameterChoice(pattern), [] { StopSignal::throwIfReceived(); });
    if (!options.presetPath.empty() && !options.patternGiven) {
        const LONG value = effect.value(PARAM_PATTERN);
        if (value < 0 || value >= kPatternCount) {
            // Drawn as the module draws any value it has no pattern for, but not unnoticed.
            std::fprintf(stderr,
                         "pattix: %s sets Pattern to %ld, which is none of the patterns 0-8; the "
                         "picture is black\n",
                         host::presetName(options.presetPath).c_str(), static_cast<long>(value));
        }
    }
}

// Refuses, before anything is rendered, what the output cannot take.
void requireOutputTakes(const Options& options) {
    const OutputKind kind = options.output.kind;
    if (kind == OutputKind::StandardOutput && isTerminal(STDOUT_FILENO)) {
        throw host::UsageError(
            "standard output is a terminal, where raw frames are of no use: pipe them into a "
            "program (-o - | ffmpeg ...) or redirect them (-o - > frames.rgba)");
    }
    if (kind == OutputKind::PngFile || kind == OutputKind::PngSequence) {
        requirePngSize(options.size.width, options.size.height);
    }
}

host::RenderSettings renderSettings(const Options& options) {
    host::RenderSettings settings = host::renderSettings(options);
    requireOutputTakes(options);
    return settings;
}

// Renders every frame into the output; answers where the output went (empty for standard
// output), once it is complete.
std::string renderFrames(host::EffectInstance& effect, const Options& options,
                         const host::RenderSettings& settings,
                         sdk::host::HostExecutionContext& context) {
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
    return sink->finish();
}

}  // namespace

int runCommand(const Options& options, const std::string& modulePath) {
    sdk::host::HostExecutionContext context;
    const StopSignal stopSignal(context);
    const host::ModuleSession session(modulePath);
    if (options.list) {
        printPatternList(stdout, session);
        if (!options.info) return 0;
        std::fputc('\n', stdout);
    }
    const std::vector<std::string> patternNames = session.patternNames();
    const int pattern = options.info ? 0 : host::resolvePattern(options.pattern, patternNames);

    const host::RenderSettings settings =
        options.info ? host::RenderSettings{} : renderSettings(options);
    options.setProjectFrame();
    host::EffectInstance effect(session.createEffect());
    if (options.info) {
        printModuleInfo(stdout, session, effect);
        return 0;
    }
    applyParameters(effect, options, pattern);
    // The values are read and the file made now, so that a value the host will not give or an
    // unwritable path fails the run before anything is written; the preset is saved only once
    // the frames are, so a failed run leaves the old one alone.
    const bool savingPreset = !options.savePresetPath.empty();
    const std::string preset = savingPreset ? effect.savePreset() : std::string();
    std::optional<StagedFile> presetFile;
    if (savingPreset && options.savePresetPath != "-") presetFile.emplace(options.savePresetPath);
    const LONG chosen = effect.value(PARAM_PATTERN);
    const std::string name = chosen >= 0 && chosen < kPatternCount
                                 ? patternNames[static_cast<std::size_t>(chosen)]
                                 : "pattern " + std::to_string(chosen);
    const std::string where = renderFrames(effect, options, settings, context);
    if (savingPreset) savePreset(presetFile, preset);
    // Standard output carrying frames or the preset gets nothing else.
    if (where.empty() || options.savePresetPath == "-") return 0;
    std::printf("Wrote %s, %dx%d, %d-bit, %lld frame%s to %s\n", name.c_str(), options.size.width,
                options.size.height, options.depth, static_cast<long long>(options.frames),
                options.frames == 1 ? "" : "s", where.c_str());
    return 0;
}

}  // namespace pattix::cli

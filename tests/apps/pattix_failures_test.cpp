// The built pattix run end to end with bad input and with Ctrl-C: one line on standard error
// naming the value, the exit status, and no file left behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix/stop_signal.hpp"
#include "tests/apps/pattix_process.hpp"

namespace pattix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct BadInput {
    std::vector<std::string> arguments;
    int status;
    std::string message;
};

TEST(PattixFailures, BadInputGetsOneLineAStatusAndNoFile) {
    const BadInput cases[] = {
        {{"-p", "plaid"}, 2, "unknown pattern 'plaid': use ebu, 75, 100, eia, smpte"},
        {{"-p", "9"}, 2, "unknown pattern '9'"},
        {{"-s", "0x576"}, 2, "size '0x576' has no pixels"},
        {{"-s", "wide"}, 2, "size 'wide' is not a size: give WxH"},
        {{"-s", "500000000x500000000", "-o", "a.rgba"}, 2, "size 500000000x500000000 needs"},
        // Rows of 2 GiB and more do not fit the host's 32-bit row step.
        {{"-s", "536870912x2", "--roi", "0,1,1,1", "-o", "a.rgba"},
         2,
         "size 536870912x2 is too wide at depth 8: the host steps between rows with a signed "
         "32-bit count of bytes, so a row holds at most 536870911 pixels"},
        {{"-s", "268435457x2", "--depth", "16", "--roi", "0,1,268435457,1", "-o", "a.rgba"},
         2,
         "at most 268435455 pixels"},
        {{"-s", "1000001x1"},
         2,
         "size 1000001x1 is too large for a PNG file: libpng writes at most"},
        {{"-n", "99999999999999999999"}, 2, "frame count '99999999999999999999' is too large"},
        {{"-o", "-", "--save-preset", "-"}, 2, "standard output can take the frames (-o -) or"},
        {{"--world", "0x1"}, 2, "world size '0x1' has no pixels"},
        {{"--roi", "10,10,0,5"}, 2, "region '10,10,0,5' has no area"},
        {{"--roi", "800,0,10,10"}, 2, "region '800,0,10,10' lies outside the 720x576 picture"},
        {{"--roi", "1,2"}, 2, "region '1,2' is not a region"},
        {{"--depth", "10"}, 2, "depth '10' is not one of: 8, 16"},
        {{"--field", "odd"}, 2, "field 'odd' is not one of"},
        {{"-d", "up"}, 2, "direction 'up' is not one of"},
        {{"-n", "0"}, 2, "frame count '0' is not a whole number of at least 1"},
        {{"-o", "picture.jpg"}, 2, "output 'picture.jpg' is not a .png or .rgba path"},
        {{"-o", "f%s.png"}, 2, "output 'f%s.png': '%' must begin a frame number"},
        {{"--colour", "red"}, 2, "--colour"},
        {{"-o", "missing/picture.png"},
         1,
         "cannot write 'missing/picture.png': No such file or directory"},
        {{"-o", "folder.png"}, 1, "cannot write 'folder.png': Is a directory"},
        {{"--preset", "absent.preset"}, 1, "cannot read preset 'absent.preset'"},
        {{"--preset", "notes.txt"}, 1, "preset 'notes.txt' cannot be used: not a preset"},
        {{"--save-preset", "missing/p.preset"}, 1, "cannot write 'missing/p.preset'"},
    };
    for (const BadInput& c : cases) {
        const TempFolder folder;
        writeFile(folder / "notes.txt", "shopping: bread, milk\n");
        std::filesystem::create_directory(folder / "folder.png");
        const RunResult result = runPattix(c.arguments, folder.path());
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.status, c.status) << what << ": " << result.err;
        EXPECT_THAT(result.err, StartsWith("pattix: ")) << what;
        EXPECT_THAT(result.err, HasSubstr(c.message)) << what;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1)
            << what << ": " << result.err;
        EXPECT_THAT(result.err, EndsWith("\n")) << what;
        EXPECT_EQ(result.out, "") << what;
        EXPECT_THAT(folder.names(), ElementsAre("folder.png", "notes.txt")) << what;
    }
}

// Every signal that ends a run, sent once pattix is writing its temporary file: the file goes,
// and the exit status is 128 + the signal, as a shell reports a killed program.
TEST(PattixFailures, StopSignalsRemoveThePartialFileAndExitWith128PlusTheSignal) {
    const std::pair<const char*, int> cases[] = {
        {"8", SIGINT}, {"16", SIGINT}, {"8", SIGTERM}, {"16", SIGHUP}, {"8", SIGQUIT}};
    for (const auto& [depth, signalNumber] : cases) {
        const TempFolder folder;
        FolderWatch watch(folder.path());
        const pid_t pid = startPattix({"-p", "smpte", "-s", "320x240", "--depth", depth, "-n",
                                       "100000000", "-o", "long.rgba"},
                                      folder.path());
        ASSERT_TRUE(watch.waitForWrite(".long.rgba.", pid)) << depth;
        ASSERT_EQ(::kill(pid, signalNumber), 0);
        EXPECT_EQ(waitForPattix(pid), 128 + signalNumber) << depth << " " << signalNumber;
        EXPECT_THAT(folder.names(), ElementsAre()) << depth << " " << signalNumber;
    }
}

// The file-size limit (ulimit -f) sends SIGXFSZ in the middle of a write.
TEST(PattixFailures, TheFileSizeLimitRemovesThePartialFile) {
    const std::pair<std::vector<std::string>, rlim_t> cases[] = {
        {{"-s", "320x240", "-n", "100", "-o", "big.rgba"}, 1 << 20},
        {{"-p", "rgb-crossed-ramp", "-s", "320x240", "--depth", "16", "-o", "big.png"}, 512},
    };
    for (const auto& [arguments, limit] : cases) {
        const TempFolder folder;
        Launch launch;
        launch.prepare = [bytes = limit] {
            const rlimit fileSize{bytes, bytes};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        };
        const RunResult result = runPattixInto(arguments, folder.path(), launch);
        EXPECT_EQ(result.status, 128 + SIGXFSZ);
        EXPECT_EQ(result.err, "pattix: interrupted by SIGXFSZ; unfinished output removed\n");
        EXPECT_THAT(folder.names(), ElementsAre());
    }
}

// nohup and background jobs start a program with SIGHUP ignored; it must stay so.
TEST(PattixFailures, ASignalIgnoredAtTheStartStaysIgnored) {
    const TempFolder folder;
    Pipe frames;
    Launch launch;
    launch.out = frames.write;
    launch.prepare = [] { ::signal(SIGHUP, SIG_IGN); };
    constexpr std::size_t kFrameBytes = 320 * 240 * 4;  // far more than a pipe holds
    const pid_t pid = startPattix({"-s", "320x240", "-n", "3", "-o", "-"}, folder.path(), launch);
    frames.closeWrite();
    ASSERT_EQ(frames.drain(1), 1u);
    ASSERT_EQ(::kill(pid, SIGHUP), 0);
    EXPECT_EQ(1 + frames.drain(), 3 * kFrameBytes);
    EXPECT_EQ(waitForPattix(pid), 0);
}

TEST(PattixFailures, CtrlCKeepsTheNumberedFilesAlreadyComplete) {
    const TempFolder folder;
    FolderWatch watch(folder.path());
    const pid_t pid =
        startPattix({"-s", "64x48", "-n", "100000000", "-o", "f%d.png"}, folder.path());
    ASSERT_TRUE(watch.waitForWrite(".f1.png", pid));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(waitForPattix(pid), 130);
    for (const std::string& name : folder.names()) {
        EXPECT_THAT(name, ::testing::MatchesRegex("f[0-9]+\\.png")) << "an unfinished file is left";
    }
}

// The handler itself, with no process to race: a signal asks the render in progress to stop
// at its next row, not only the program at its next frame.
TEST(StopSignalHandler, ASignalStopsTheRenderInProgress) {
    sdk::host::HostExecutionContext context;
    {
        const cli::StopSignal handlers(context);
        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_EQ(cli::StopSignal::received(), SIGTERM);
    }
    EXPECT_TRUE(context.stopRequested());
    EXPECT_EQ(context.ShouldContinue(), FALSE);

    // A frame the stop cut short is not reported as finished: even the last one is neither
    // written nor followed by a successful exit.
    const host::ModuleSession session(PATTIX_MODULE_PATH);
    host::EffectInstance effect(session.createEffect());
    host::RenderSettings settings;
    settings.size = settings.world = {64, 48};
    host::FrameRenderer renderer(effect, settings, context);
    EXPECT_FALSE(renderer.render(0));
}

}  // namespace
}  // namespace pattix::testing

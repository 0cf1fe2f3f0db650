// The built pattix run end to end with bad input and with Ctrl-C: one line on standard error
// naming the value, the exit status, and no file left behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

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
        {{"-s", "2000000000x2000000000"}, 2, "size 2000000000x2000000000 needs"},
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

// Waits until pattix has created its temporary file, so the signal meets a run in progress.
bool waitForStagedFile(const TempFolder& folder, const std::string& prefix) {
    for (int attempt = 0; attempt < 3000; ++attempt) {
        for (const std::string& name : folder.names()) {
            if (name.rfind(prefix, 0) == 0) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(PattixFailures, CtrlCStopsTheRenderRemovesThePartialFileAndExits130) {
    for (const char* depth : {"8", "16"}) {
        const TempFolder folder;
        const pid_t pid = startPattix({"-p", "smpte", "-s", "1080", "--depth", depth, "-n",
                                       "100000000", "-o", "long.rgba"},
                                      folder.path());
        ASSERT_TRUE(waitForStagedFile(folder, ".long.rgba.")) << depth;
        // Let some frames be written first.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(::kill(pid, SIGINT), 0);
        EXPECT_EQ(waitForPattix(pid), 130) << depth;
        EXPECT_THAT(folder.names(), ElementsAre()) << depth;
    }
}

TEST(PattixFailures, CtrlCKeepsTheNumberedFilesAlreadyComplete) {
    const TempFolder folder;
    const pid_t pid =
        startPattix({"-s", "64x48", "-n", "100000000", "-o", "f%d.png"}, folder.path());
    ASSERT_TRUE(waitForStagedFile(folder, "f1.png"));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(waitForPattix(pid), 130);
    for (const std::string& name : folder.names()) {
        EXPECT_THAT(name, ::testing::MatchesRegex("f[0-9]+\\.png")) << "an unfinished file is left";
    }
}

}  // namespace
}  // namespace pattix::testing

// The built pattix run end to end against faults a careless or hostile user meets: stalled
// readers, odd targets, lost standard output, bad presets, pictures tall or on a terminal.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/apps/pattix_process.hpp"

namespace pattix::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::size_t kSmallFrame = 64 * 48 * 4;  // -s 64x48 at depth 8

// A reader that stops reading leaves pattix blocked in a write; a stop must end it there.
TEST(PattixFaults, AStopEndsAWriteThatAStalledReaderBlocks) {
    const std::pair<const char*, int> cases[] = {{"8", SIGINT}, {"16", SIGTERM}};
    for (const auto& [depth, signalNumber] : cases) {
        const TempFolder folder;
        Pipe frames;
        Launch launch;
        launch.out = frames.write;
        const pid_t pid = startPattix({"-s", "1080", "--depth", depth, "-n", "1000", "-o", "-"},
                                      folder.path(), launch);
        frames.closeWrite();
        ASSERT_EQ(frames.drain(1), 1u) << depth;  // writing, and the pipe is full from here on
        ASSERT_EQ(::kill(pid, signalNumber), 0);
        EXPECT_EQ(waitForPattix(pid), 128 + signalNumber) << depth;
    }
}

// An -o path that names no plain file: a FIFO and /dev/null take the frame where they are, a
// link leads to the file it names and stays a link, and a name near NAME_MAX still gets its
// temporary name beside it.
TEST(PattixFaults, OnlyRealFilesAreStagedLinksAreFollowedTheRestWrittenThrough) {
    struct OddTarget {
        std::string output;   // -o
        std::string linkTo;   // what the link `output` names, or "fifo", or nothing
        std::string written;  // where the frame must land (empty: nowhere to look)
    };
    const std::string longName = std::string(250, 'n') + ".rgba";
    const OddTarget cases[] = {{"out.rgba", "fifo", ""},
                               {"link.rgba", "real/out.rgba", "real/out.rgba"},
                               {"link.rgba", "made.rgba", "made.rgba"},  // named file not there yet
                               {"null.rgba", "/dev/null", ""},
                               {longName, "", longName}};
    for (const OddTarget& c : cases) {
        const TempFolder folder;
        fs::create_directory(folder / "real");
        writeFile(folder / "real/out.rgba", "old");
        int fifo = -1;
        if (c.linkTo == "fifo") {
            ASSERT_EQ(::mkfifo((folder / c.output).c_str(), 0644), 0);
            // Open to read and write, it takes the small frame without either side waiting.
            fifo = ::open((folder / c.output).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        } else if (!c.linkTo.empty()) {
            fs::create_symlink(c.linkTo, folder / c.output);
        }
        const RunResult result = runPattix({"-s", "64x48", "-o", c.output}, folder.path());
        EXPECT_EQ(result.status, 0) << c.output << ": " << result.err;
        if (fifo >= 0) {
            EXPECT_TRUE(fs::is_fifo(folder / c.output)) << "the FIFO was replaced";
            std::string frame(2 * kSmallFrame, '\0');
            EXPECT_EQ(::read(fifo, frame.data(), frame.size()), ssize_t{kSmallFrame});
            ::close(fifo);
        } else if (!c.linkTo.empty()) {
            EXPECT_TRUE(fs::is_symlink(folder / c.output)) << c.linkTo << ": the link was replaced";
        }
        if (!c.written.empty()) {
            EXPECT_EQ(fs::file_size(folder / c.written), kSmallFrame) << c.output;
        }
        for (const std::string& name : folder.names()) {
            EXPECT_THAT(name, Not(StartsWith("."))) << c.output << ": a temporary file is left";
        }
    }
}

// Help, lists, the closing line: a standard output that cannot take them fails the run.
TEST(PattixFaults, LostStandardOutputIsAFailure) {
    const std::vector<std::string> runs[] = {
        {"--help"}, {"--list"}, {"--info"}, {"-s", "64x48", "-o", "x.png"}};
    for (const auto& arguments : runs) {
        for (const bool closed : {false, true}) {
            const TempFolder folder;
            Launch launch;
            const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
            launch.out = full;
            if (closed) launch.prepare = [] { ::close(STDOUT_FILENO); };
            const RunResult result = runPattixInto(arguments, folder.path(), launch);
            ::close(full);
            const std::string what = ::testing::PrintToString(arguments);
            EXPECT_EQ(result.status, 1) << what << (closed ? " closed" : " full");
            EXPECT_THAT(result.err,
                        StartsWith(closed ? "pattix: cannot write standard output: Bad file"
                                          : "pattix: cannot write standard output: No space"))
                << what;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << what;
        }
    }
}

TEST(PattixFaults, APresetIsSavedOnlyOnceTheFramesAreWritten) {
    const TempFolder folder;
    writeFile(folder / "look.preset", "good");
    const RunResult failed = runPattix(
        {"-p", "smpte", "--save-preset", "look.preset", "-o", "missing/x.png"}, folder.path());
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(readFile(folder / "look.preset"), "good");
}

// A preset file is a few lines of text: anything else is refused early and quoted with care.
TEST(PattixFaults, PresetsAreBoundedAndQuotedWithCare) {
    const TempFolder folder;
    fs::create_symlink("/dev/zero", folder / "zero.preset");
    writeFile(folder / "big.preset", std::string(2 << 20, '#'));
    fs::create_directory(folder / "folder.preset");
    const std::string header = "DS-Preset 1\nclass 63A1D342-AE89-11D5-9414-0800690F2F3F\n";
    writeFile(folder / "escape.preset", header + "\x1b]2;owned\x07 I4 1\n");
    writeFile(folder / "long.preset", header + std::string(100000, 'x') + " I4 1\n");
    const std::pair<const char*, const char*> cases[] = {
        {"zero.preset", "preset 'zero.preset' is larger than 1 MiB"},
        {"big.preset", "preset 'big.preset' is larger than 1 MiB"},
        {"folder.preset", "preset 'folder.preset' is a folder, not a preset file"},
        {"escape.preset", "line 3 '\\x1B]2;owned\\x07 I4 1'"},
        {"long.preset", "line 3 'xxxxxxxx"},
    };
    for (const auto& [name, message] : cases) {
        const RunResult result = runPattix({"--preset", name, "-o", "x.png"}, folder.path());
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_THAT(result.err, AllOf(HasSubstr(message), Not(HasSubstr("\x1b"))));
        EXPECT_LT(result.err.size(), 400u) << name;
    }
}

TEST(PattixFaults, PresetsTravelThroughStandardStreams) {
    const TempFolder folder;
    const RunResult saved = runPattix(
        {"-p", "rgb-ramp", "-d", "vertical", "--save-preset", "-", "-s", "64x48", "-o", "a.png"},
        folder.path());
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_THAT(saved.out, AllOf(StartsWith("DS-Preset 1\n"), Not(HasSubstr("Wrote"))));

    writeFile(folder / "look.preset", saved.out);
    Launch launch;
    launch.in = ::open((folder / "look.preset").c_str(), O_RDONLY | O_CLOEXEC);
    const RunResult loaded =
        runPattixInto({"--preset", "-", "-s", "64x48", "-o", "b.png"}, folder.path(), launch);
    ::close(launch.in);
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(readFile(folder / "b.png"), readFile(folder / "a.png"));
}

// The module draws a Pattern outside 0-8 black, as it does; the user is told why.
TEST(PattixFaults, APresetPatternThatIsNoPatternIsReported) {
    const TempFolder folder;
    writeFile(folder / "odd.preset",
              "DS-Preset 1\nclass 63A1D342-AE89-11D5-9414-0800690F2F3F\n"
              "63A1D3A6-AE89-11D5-9414-0800690F2F3F I4 12\n");
    const RunResult result = runPattix({"--preset", "odd.preset", "-o", "x.png"}, folder.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              "pattix: preset 'odd.preset' sets Pattern to 12, which is none of the patterns 0-8; "
              "the picture is black\n");
}

TEST(PattixFaults, RawFramesAreNotPouredOntoATerminal) {
    const TempFolder folder;
    int controller = -1, terminal = -1;
    ASSERT_EQ(::openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
    Launch launch;
    launch.out = terminal;
    const RunResult result = runPattixInto({"-s", "16x16", "-o", "-"}, folder.path(), launch);
    ::close(terminal);
    ::close(controller);
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, HasSubstr("standard output is a terminal"));
}

TEST(PattixFaults, ListWithInfoGivesBoth) {
    const TempFolder folder;
    const RunResult result = runPattix({"--list", "--info"}, folder.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, AllOf(StartsWith("0  ebu "), HasSubstr("\nRegistered classes:\n")));
}

// One frame of a picture one pixel wide and very tall takes about the memory of the same bytes
// laid out wide: the rows go out in batches, not through a table of every row.
TEST(PattixFaults, ATallPictureTakesNoMoreMemoryThanAWideOne) {
    long resident[2] = {};
    const char* sizes[] = {"4000000x1", "1x4000000"};
    for (int i = 0; i < 2; ++i) {
        const TempFolder folder;
        Launch launch;
        const pid_t pid = startPattix({"-s", sizes[i], "-o", "-"}, folder.path(), launch);
        EXPECT_EQ(waitForPattix(pid, &resident[i]), 0) << sizes[i];
    }
    // A table of 4,000,000 rows and its copy would add 128 MB to the 16 MB frame.
    EXPECT_LT(resident[1], resident[0] + 32 * 1024) << "KiB, tall against wide";
}

}  // namespace
}  // namespace pattix::testing

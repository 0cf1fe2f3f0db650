// The built pattix run end to end: whole pictures by checksum, what each value and output does
// or why it is refused, and runs a signal, a limit or a stalled reader cuts short.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/apps/pattix_process.hpp"
#include "tests/apps/png_reader.hpp"
#include "tests/support/sha256.hpp"

namespace pattix::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Whole pictures through the program, FATE style: each line of pattix_checksums.txt is a run
// and the SHA-256 of its raw stream; the same run into a PNG file, and with -n into a .rgba
// file, must hold the same samples.
TEST(PattixRuns, EveryListedRunHasItsChecksumInEveryKindOfOutput) {
    const TempFolder folder;
    ASSERT_EQ(runPattix({"-p", "grey-crossed-ramp", "-d", "vertical", "--save-preset",
                         "look.preset", "-s", "8x8", "-o", "look.png"},
                        folder.path())
                  .status,
              0);
    std::ifstream in(PATTIX_CLI_CHECKSUMS);
    std::ostringstream table;
    const char* const rewrite = std::getenv("PATTIX_WRITE_CHECKSUMS");
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            table << line << "\n";
            continue;
        }
        const std::string what = line.substr(0, line.rfind(' '));
        std::vector<std::string> arguments;
        std::istringstream words(what);
        for (std::string word; words >> word;) arguments.push_back(word);
        const auto to = [&](const char* output) {
            std::vector<std::string> run = arguments;
            run.insert(run.end(), {"-o", output});
            return runPattix(run, folder.path());
        };
        const RunResult raw = to("-");
        ASSERT_EQ(raw.status, 0) << what << ": " << raw.err;
        EXPECT_EQ(raw.err, "") << what;
        const std::string sum = sha256Hex(raw.out.data(), raw.out.size());
        if (rewrite == nullptr) {
            EXPECT_EQ(sum, line.substr(line.rfind(' ') + 1)) << what;
        }
        table << what << " " << sum << "\n";
        ++cases;

        int count = 1;
        if (const auto n = std::find(arguments.begin(), arguments.end(), "-n");
            n != arguments.end()) {
            count = std::stoi(*(n + 1));
            EXPECT_EQ(to("frames.rgba").status, 0) << what;
            EXPECT_TRUE(readFile(folder / "frames.rgba") == raw.out) << what << ": file and stream";
            arguments.erase(n, n + 2);
        }
        ASSERT_EQ(to("picture.png").status, 0) << what;
        const std::string frame = readPng((folder / "picture.png").string()).raw;
        std::string frames;
        for (int k = 0; k < count; ++k) frames += frame;
        EXPECT_TRUE(frames == raw.out) << what << ": PNG and raw differ";
    }
    EXPECT_GE(cases, 20) << "cannot read " << PATTIX_CLI_CHECKSUMS;
    if (rewrite != nullptr) std::ofstream(rewrite) << table.str();
}

// Where a run's standard output goes.
enum class Out { Captured, Full, Closed, BrokenPipe, Terminal, ErrorsOnTerminal };

struct RunCase {
    std::vector<std::string> arguments;
    int status;
    // Texts the run's output and errors hold ("!text": must not hold); "{folder}" is its folder.
    std::vector<std::string> says;
    // What the run leaves changed in its folder: paths made, written or removed.
    std::vector<std::string> writes = {};
    Out out = Out::Captured;
};

const std::string kPresetHead = "DS-Preset 1\nclass 63A1D342-AE89-11D5-9414-0800690F2F3F\n";
const std::string kLongName = std::string(250, 'n') + ".rgba";

// A folder with the files a careless or hostile user points pattix at.
class Fixture {
public:
    Fixture() {
        writeFile(folder / "notes.txt", "shopping: bread, milk\n");
        fs::create_directories(folder / "folder.png");
        fs::create_directories(folder / "folder.preset");
        fs::create_directories(folder / "real");
        writeFile(folder / "real/out.rgba", "old");
        fs::create_symlink("real/out.rgba", folder / "link.rgba");
        fs::create_symlink("made.rgba", folder / "dangling.rgba");
        fs::create_symlink("/dev/null", folder / "null.rgba");
        fs::create_symlink("/dev/zero", folder / "zero.preset");
        writeFile(folder / "big.preset", "#");
        fs::resize_file(folder / "big.preset", (1 << 20) + 1);
        writeFile(folder / "escape.preset", kPresetHead + "\x1b]2;owned\x07 I4 1\n");
        writeFile(folder / "long.preset", kPresetHead + std::string(100000, 'x') + " I4 1\n");
        writeFile(folder / "odd.preset",
                  kPresetHead + "63A1D3A6-AE89-11D5-9414-0800690F2F3F I4 12\n");
        writeFile(folder / "look.preset",
                  kPresetHead + "63A1D3A6-AE89-11D5-9414-0800690F2F3F I4 7\n");
        ::mkfifo((folder / "fifo.rgba").c_str(), 0644);
        // Open to read and write, it takes a small frame without either side waiting.
        m_Fifo = ::open((folder / "fifo.rgba").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    ~Fixture() { ::close(m_Fifo); }

    // Every path below the folder with its permissions and what it holds (for the FIFO, what
    // came through it since the last look).
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
            const std::string name = fs::relative(entry.path(), folder.path()).string();
            const auto status = entry.symlink_status();
            std::string& what = files[name];
            if (fs::is_symlink(status)) {
                what = "-> " + fs::read_symlink(entry.path()).string();
            } else if (fs::is_fifo(status)) {
                char buffer[65536];
                what =
                    "fifo " + std::to_string(std::max(::read(m_Fifo, buffer, sizeof buffer), 0l));
            } else if (fs::is_regular_file(status)) {
                what = std::to_string(static_cast<int>(status.permissions())) + " " +
                       readFile(entry.path());
            }
        }
        return files;
    }

    TempFolder folder;

private:
    int m_Fifo = -1;
};

void check(const RunCase& run) {
    const std::string what = ::testing::PrintToString(run.arguments);
    Fixture fixture;
    const auto before = fixture.snapshot();
    Launch launch;
    launch.in = ::open((fixture.folder / "look.preset").c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<int> opened{launch.in};
    int terminal = -1, controller = -1;
    Pipe pipe;
    if (run.out == Out::Terminal || run.out == Out::ErrorsOnTerminal) {
        ASSERT_EQ(::openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
        (run.out == Out::Terminal ? launch.out : launch.err) = terminal;
        opened.insert(opened.end(), {terminal, controller});
    } else if (run.out == Out::Full || run.out == Out::Closed) {
        opened.push_back(launch.out = ::open("/dev/full", O_WRONLY | O_CLOEXEC));
        if (run.out == Out::Closed) launch.prepare = [] { ::close(STDOUT_FILENO); };
    } else if (run.out == Out::BrokenPipe) {
        ::close(std::exchange(pipe.read, -1));
        launch.out = pipe.write;
    }
    RunResult result = runPattix(run.arguments, fixture.folder.path(), launch);
    if (run.out == Out::ErrorsOnTerminal) {
        // Written behind pattix's output through the same terminal, a marker shows where that
        // output ends, however late the terminal passes it on.
        const std::string end = "\x01end\x01";
        ASSERT_EQ(::write(terminal, end.data(), end.size()), ssize_t(end.size()));
        char buffer[4096];
        for (ssize_t n; !result.err.ends_with(end) && (n = ::read(controller, buffer, 4096)) > 0;)
            result.err.append(buffer, static_cast<std::size_t>(n));
    }
    for (const int fd : opened) ::close(fd);

    EXPECT_EQ(result.status, run.status) << what << ": " << result.err;
    const std::string heard = result.out + result.err;
    for (std::string text : run.says) {
        if (const auto at = text.find("{folder}"); at != std::string::npos)
            text.replace(at, 8, fs::canonical(fixture.folder.path()).string());
        if (text[0] == '!') {
            EXPECT_THAT(heard, ::testing::Not(HasSubstr(text.substr(1)))) << what;
        } else {
            EXPECT_THAT(heard, HasSubstr(text)) << what;
        }
    }
    if (run.status != 0) {
        // One line naming the problem; what users and files supplied never drives the terminal.
        EXPECT_THAT(result.err, ::testing::StartsWith("pattix: ")) << what;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << what;
        EXPECT_EQ(result.err.back(), '\n') << what;
        EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << what;
        EXPECT_LT(result.err.size(), 400u) << what;
        if (run.out == Out::Captured) {
            EXPECT_EQ(result.out, "") << what;
        }
    } else if (run.out != Out::ErrorsOnTerminal && !run.says.empty() &&
               !run.says[0].starts_with("pattix: ")) {
        EXPECT_EQ(result.err, "") << what;
    }

    const auto after = fixture.snapshot();
    std::vector<std::string> changed;
    for (const auto& [name, held] : after) {
        if (!before.contains(name) || before.at(name) != held) changed.push_back(name);
    }
    for (const auto& [name, held] : before) {
        if (!after.contains(name)) changed.push_back(name + " (removed)");
    }
    EXPECT_EQ(changed, run.writes) << what;
    // Staged files come with the permissions open() would give them.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const std::string& name : run.writes) {
        const auto status = fs::symlink_status(fixture.folder / name);
        if (fs::is_regular_file(status)) {
            EXPECT_EQ(static_cast<mode_t>(status.permissions()), 0666 & ~mask) << name;
        }
    }
}

// Bad values on the command line: status 2, and a message naming the value and what is
// accepted.
TEST(PattixRuns, RefusedValues) {
    const std::string longValue = std::string(199, 'a') + "\xC3\xBC" + "tail";
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"-p", "plaid"}, "unknown pattern 'plaid': use ebu, 75, 100, eia, smpte, rgb-ramp"},
        {{"-p", "9"}, "unknown pattern '9'"},
        {{"-p", "\x1b[2J\r\n\x7f"}, "unknown pattern '\\x1B[2J\\x0D\\x0A\\x7F'"},
        {{"-p",
          "\xC2\x9B"
          "31m"},
         "'\\xC2\\x9B31m'"},  // CSI as a UTF-8 C1 control
        {{"-p", "\xC3(\xE2\x82\xF0\x9F\x98"}, "'\\xC3(\\xE2\\x82\\xF0\\x9F\\x98'"},
        {{"-p", "Farbbalken \xC3\xBC \xE2\x82\xAC"}, "'Farbbalken \xC3\xBC \xE2\x82\xAC'"},
        {{"-p", longValue}, "unknown pattern '" + std::string(199, 'a') + "'...:"},
        {{"-s", "0x576"}, "size '0x576' has no pixels"},
        {{"-s", "abc"}, "size 'abc' is not a size: give WxH such as 1920x1080, or ntsc, pal, 720p"},
        {{"-s", "+720x576"}, "size '+720x576' is not a size"},
        {{"-s", "3000000000x2"}, "size '3000000000x2' is too large"},
        {{"--world", "big"}, "world size 'big' is not a size"},
        {{"-s", "500000000x500000000", "-o", "a.rgba"},
         "size 500000000x500000000 needs 931322574.6 GiB for one 8-bit frame, more than the"},
        // Rows of 2 GiB and more do not fit the host's 32-bit row step.
        {{"-s", "536870912x2", "--roi", "0,1,1,1", "-o", "a.rgba"},
         "size 536870912x2 is too wide at depth 8: the host steps between rows with a signed "
         "32-bit count of bytes, so a row holds at most 536870911 pixels"},
        {{"-s", "268435456x2", "--depth", "16", "--roi", "0,1,1,1", "-o", "a.rgba"},
         "at most 268435455 pixels"},
        {{"-s", "1000001x1"}, "size 1000001x1 is too large for a PNG file: libpng writes at most"},
        {{"--roi", "1,2,3"}, "region '1,2,3' is not a region: give X,Y,W,H"},
        {{"--roi", "1,2,0,4"}, "region '1,2,0,4' has no area"},
        {{"--roi", "1,2,99999999999,4"}, "region '1,2,99999999999,4' has a number too large"},
        {{"--roi", "800,0,10,10"}, "region '800,0,10,10' lies outside the 720x576 picture"},
        {{"--depth", "12"}, "depth '12' is not one of: 8, 16"},
        {{"--field", "odd"}, "field 'odd' is not one of: both, first, second"},
        {{"-d", "up"}, "direction 'up' is not one of: horizontal, vertical"},
        {{"-n", "0"}, "frame count '0' is not a whole number of at least 1"},
        {{"-n", "1.5"}, "frame count '1.5' is not a whole number"},
        {{"-n", "99999999999999999999"},
         "frame count '99999999999999999999' is too large: at most 9223372036854775807"},
        {{"-o", "picture.jpg"},
         "output 'picture.jpg' is not a .png or .rgba path, or - for standard output"},
        {{"-o", "f%s.png"}, "output 'f%s.png': '%' must begin a frame number"},
        {{"-o", "f%n.png"}, "'%' must begin a frame number"},
        {{"-o", "f%d%d.png"}, "output 'f%d%d.png' has more than one frame number"},
        {{"-o", "-", "--save-preset", "-"}, "standard output can take the frames (-o -) or"},
        {{"--colour", "red"}, "--colour"},
        {{"-s", "16x16", "-o", "-"}, "standard output is a terminal"},  // and it is one
    };
    for (const auto& [arguments, message] : refusals) {
        const bool onTerminal = message.find("terminal") != std::string::npos;
        check({arguments, 2, {message}, {}, onTerminal ? Out::Terminal : Out::Captured});
    }
}

// What cannot be read or written: status 1, nothing left half done, an old preset kept.
TEST(PattixRuns, FailedRuns) {
    const RunCase runs[] = {
        {{"-o", "missing/picture.png"},
         1,
         {"cannot write 'missing/picture.png': No such file or directory"}},
        {{"-o", "folder.png"}, 1, {"cannot write 'folder.png': Is a directory"}},
        {{"--save-preset", "missing/p.preset"}, 1, {"cannot write 'missing/p.preset'"}},
        {{"--save-preset", "look.preset", "-o", "missing/x.png"},
         1,
         {"cannot write 'missing/x.png'"}},
        {{"--preset", "absent.preset"}, 1, {"cannot read preset 'absent.preset'"}},
        {{"--preset", "notes.txt"}, 1, {"preset 'notes.txt' cannot be used: not a preset"}},
        {{"--preset", "zero.preset"}, 1, {"preset 'zero.preset' is larger than 1 MiB"}},
        {{"--preset", "big.preset"}, 1, {"preset 'big.preset' is larger than 1 MiB"}},
        {{"--preset", "folder.preset"},
         1,
         {"preset 'folder.preset' is a folder, not a preset file"}},
        {{"--preset", "escape.preset"}, 1, {"line 3 '\\x1B]2;owned\\x07 I4 1'"}},
        {{"--preset", "long.preset"}, 1, {"line 3 'xxxxxxxx"}},
        // Help, lists, the closing line: a standard output that cannot take them fails the run.
        {{"--help"},
         1,
         {"pattix: cannot write standard output: No space left on device"},
         {},
         Out::Full},
        {{"--list"},
         1,
         {"pattix: cannot write standard output: Bad file descriptor"},
         {},
         Out::Closed},
        {{"--info"},
         0,
         {"63A1D342-AE89-11D5-9414-0800690F2F3F  effect", "  name: Pattix\n",
          "main property page  \"Pattix\"  428 x 302 pixels\n",
          "identifier: 63A1D3A6-AE89-11D5-9414-0800690F2F3F\n    type: integer (VT_I4)\n"
          "    default: 0 (EBU Bars)\n",
          "default: 0 (Horizontal)\n    values: 0 Horizontal, 1 Vertical\n"}},
        // Progress shows on a terminal only (every other run here expects quiet errors).
        {{"-s", "8x8", "-n", "300", "-o", "a.rgba"},
         0,
         {"pattix: frame 300 of 300, "},
         {"a.rgba"},
         Out::ErrorsOnTerminal},
    };
    for (const RunCase& run : runs) check(run);
}

struct Interruption {
    std::vector<std::string> arguments;
    std::string written;  // the start of a file name to wait for; empty: frames on a pipe
    int signal;           // sent once pattix writes; 0: none
    int status;
    std::string left;  // a pattern every name left must match; empty: nothing is left
    std::function<void()> prepare = nullptr;
    std::size_t bytes = 0;  // frames on the pipe in all, when given
};

void limitFileSize(rlim_t bytes) {
    const rlimit fileSize{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &fileSize);
}

// Every signal that ends a run removes the unfinished file and exits with 128 + the signal, as
// a shell reports a killed program, also out of a write that a stalled reader blocks.
TEST(PattixRuns, InterruptedRuns) {
    const std::vector<std::string> endless = {"-p", "smpte", "-s", "320x240", "-n", "100000000"};
    const auto with = [](std::vector<std::string> a, std::vector<std::string> b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Interruption cases[] = {
        {with(endless, {"-o", "long.rgba"}), ".long.rgba.", SIGINT, 128 + SIGINT, ""},
        {with(endless, {"--depth", "16", "-o", "long.rgba"}), ".long.rgba.", SIGTERM, 128 + SIGTERM,
         ""},
        {with(endless, {"--depth", "16", "-o", "long.rgba"}), ".long.rgba.", SIGHUP, 128 + SIGHUP,
         ""},
        // Ctrl-C keeps the numbered files already complete.
        {{"-s", "64x48", "-n", "100000000", "-o", "f%d.png"},
         ".f1.png",
         SIGINT,
         130,
         "f[0-9]+\\.png"},
        {{"-s", "1080", "-n", "1000", "-o", "-"}, "", SIGINT, 130, ""},
        // nohup and background jobs start a program with SIGHUP ignored; it must stay so.
        {{"-s", "320x240", "-n", "3", "-o", "-"},
         "",
         SIGHUP,
         0,
         "",
         [] { ::signal(SIGHUP, SIG_IGN); },
         3 * 320 * 240 * 4},
        // The file-size limit (ulimit -f) sends SIGXFSZ in the middle of a write.
        {{"-s", "320x240", "-n", "100", "-o", "big.rgba"},
         "",
         0,
         128 + SIGXFSZ,
         "",
         [] { limitFileSize(1 << 20); }},
        {{"-p", "rgb-crossed-ramp", "-s", "320x240", "--depth", "16", "-o", "big.png"},
         "",
         0,
         128 + SIGXFSZ,
         "",
         [] { limitFileSize(512); }},
    };
    for (const Interruption& c : cases) {
        const std::string what =
            ::testing::PrintToString(c.arguments) + " " + std::to_string(c.signal);
        const TempFolder folder, streams;
        FolderWatch watch(folder.path());
        Pipe frames;
        Launch launch;
        launch.prepare = c.prepare;
        launch.err = ::open((streams / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const bool piped = c.written.empty() && c.signal != 0;
        if (piped) launch.out = frames.write;
        const pid_t pid = startPattix(c.arguments, folder.path(), launch);
        frames.closeWrite();
        ::close(launch.err);
        std::size_t bytes = 0;
        if (piped) {
            // Writing, and from here on the pipe stays full until read.
            ASSERT_EQ(bytes = frames.drain(1), 1u) << what;
        } else if (c.signal != 0) {
            ASSERT_TRUE(watch.waitForWrite(c.written, pid)) << what;
        }
        if (c.signal != 0) {
            ASSERT_EQ(::kill(pid, c.signal), 0);
        }
        if (c.bytes != 0) bytes += frames.drain();
        EXPECT_EQ(waitForPattix(pid), c.status) << what;
        for (const auto& left : fs::directory_iterator(folder.path())) {
            EXPECT_THAT(left.path().filename().string(),
                        ::testing::MatchesRegex(c.left.empty() ? "^$" : c.left))
                << what;
        }
        EXPECT_EQ(readFile(streams / "err"), c.status == 0
                                                 ? std::string()
                                                 : "pattix: interrupted by SIG" +
                                                       std::string(sigabbrev_np(c.status - 128)) +
                                                       "; unfinished output removed\n")
            << what;
        EXPECT_EQ(c.bytes != 0 ? bytes : 0, c.bytes) << what;
    }
}

}  // namespace
}  // namespace pattix::testing

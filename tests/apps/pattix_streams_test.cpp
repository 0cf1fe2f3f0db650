// The built pattix run end to end: raw streams, numbered files, presets, the names a pattern
// goes by, what it tells the user and what it keeps quiet about.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/apps/pattix_process.hpp"
#include "tests/apps/png_reader.hpp"
#include "tests/support/sha256.hpp"

namespace pattix::testing {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The PNG's samples as the raw stream carries them: bytes for depth 8, little-endian 16-bit
// values for depth 16, top row first.
std::string asRawFrame(const Picture& picture) {
    std::string bytes;
    for (const std::uint16_t sample : picture.samples) {
        bytes += static_cast<char>(sample & 0xFF);
        if (picture.bitDepth == 16) bytes += static_cast<char>(sample >> 8);
    }
    return bytes;
}

std::string sha256(const std::string& bytes) {
    return sha256Hex(bytes.data(), bytes.size());
}

class PattixStreams : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& arguments) {
        return runPattix(arguments, m_Folder.path());
    }
    Picture png(const std::string& name) { return readPng((m_Folder / name).string()); }

    TempFolder m_Folder;
};

TEST_F(PattixStreams, ARawStreamOfThreeFramesIsExactlyThreeFrames) {
    for (const char* depth : {"8", "16"}) {
        const std::vector<std::string> pattern = {"-p", "smpte", "-s", "320x240", "--depth", depth};
        std::vector<std::string> toPng = pattern, toStdout = pattern, toFile = pattern;
        toPng.insert(toPng.end(), {"-o", "frame.png"});
        toStdout.insert(toStdout.end(), {"-n", "3", "-o", "-"});
        toFile.insert(toFile.end(), {"-n", "3", "-o", "frames.rgba"});
        ASSERT_EQ(run(toPng).status, 0);
        const std::string frame = asRawFrame(png("frame.png"));
        ASSERT_EQ(frame.size(), 320u * 240 * (depth == std::string("8") ? 4 : 8));

        const RunResult streamed = run(toStdout);
        EXPECT_EQ(streamed.status, 0) << streamed.err;
        EXPECT_EQ(streamed.err, "");
        EXPECT_EQ(streamed.out.size(), 3 * frame.size()) << depth;
        EXPECT_TRUE(streamed.out == frame + frame + frame) << depth;

        const RunResult written = run(toFile);
        EXPECT_EQ(written.status, 0) << written.err;
        EXPECT_TRUE(readFile(m_Folder / "frames.rgba") == streamed.out) << depth;
    }
}

TEST_F(PattixStreams, NumberedFilesHoldOneFrameEach) {
    const RunResult result = run({"-p", "eia", "-s", "64x48", "-n", "3", "-o", "f%03d.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(m_Folder.names(), ElementsAre("f000.png", "f001.png", "f002.png"));
    EXPECT_EQ(png("f000.png").samples, png("f002.png").samples);
    EXPECT_THAT(result.out, HasSubstr("f000.png to "));
}

TEST_F(PattixStreams, APatternIsNamedByShortNameNumberOrOwnName) {
    ASSERT_EQ(run({"-p", "smpte", "-s", "64x48", "-o", "short.png"}).status, 0);
    ASSERT_EQ(run({"-p", "4", "-s", "64x48", "-o", "number.png"}).status, 0);
    ASSERT_EQ(run({"-p", "SMPTE Colour Bars", "-s", "64x48", "-o", "own.png"}).status, 0);
    ASSERT_EQ(run({"-p", "eia", "-s", "64x48", "-o", "other.png"}).status, 0);
    EXPECT_EQ(png("number.png").samples, png("short.png").samples);
    EXPECT_EQ(png("own.png").samples, png("short.png").samples);
    EXPECT_NE(png("other.png").samples, png("short.png").samples);
}

TEST_F(PattixStreams, PresetsCarryTheParametersAndOptionsGivenWin) {
    const RunResult saved = run({"-p", "grey-crossed-ramp", "-d", "vertical", "-s", "64x48",
                                 "--save-preset", "look.preset", "-o", "saved.png"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_THAT(readFile(m_Folder / "look.preset"),
                AllOf(HasSubstr("63A1D3A6-AE89-11D5-9414-0800690F2F3F I4 8"),
                      HasSubstr("63A1D3A7-AE89-11D5-9414-0800690F2F3F I4 1")));

    ASSERT_EQ(run({"--preset", "look.preset", "-s", "64x48", "-o", "loaded.png"}).status, 0);
    EXPECT_EQ(png("loaded.png").samples, png("saved.png").samples);

    ASSERT_EQ(run({"--preset", "look.preset", "-d", "horizontal", "-s", "64x48", "-o", "mixed.png"})
                  .status,
              0);
    ASSERT_EQ(run({"-p", "grey-crossed-ramp", "-s", "64x48", "-o", "horizontal.png"}).status, 0);
    EXPECT_EQ(png("mixed.png").samples, png("horizontal.png").samples);
}

TEST_F(PattixStreams, TheDefaultRunWritesPal8BitEbuBarsAndSaysWhere) {
    const RunResult result = run({});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string where = (std::filesystem::canonical(m_Folder.path()) / "pattix.png").string();
    EXPECT_EQ(result.out, "Wrote EBU Bars, 720x576, 8-bit, 1 frame to " + where + "\n");
    EXPECT_EQ(result.err, "");
    const Picture picture = png("pattix.png");
    EXPECT_EQ(picture.width, 720);
    EXPECT_EQ(picture.height, 576);
    EXPECT_EQ(picture.bitDepth, 8);
    EXPECT_THAT(picture.atRow(45, 0), ElementsAre(255, 255, 255, 255));
}

TEST_F(PattixStreams, ProgressStaysOffWhenStandardErrorIsNoTerminal) {
    const RunResult result = run({"-s", "64x48", "-n", "200", "-o", "quiet.rgba"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

TEST_F(PattixStreams, ProgressWithFramesPerSecondShowsOnATerminal) {
    const RunResult result =
        runPattixOnTerminal({"-s", "64x48", "-n", "300", "-o", "shown.rgba"}, m_Folder.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.err,
                ::testing::MatchesRegex(".*pattix: frame 300 of 300, [0-9.]+ frames/s.*"));
}

TEST_F(PattixStreams, ListAndInfoDescribeTheModule) {
    const RunResult list = run({"--list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_THAT(list.out, AllOf(HasSubstr("0  ebu                 EBU Bars\n"),
                                HasSubstr("4  smpte               SMPTE Colour Bars\n"),
                                HasSubstr("8  grey-crossed-ramp   Grey Crossed Ramp\n")));
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 9);

    const RunResult info = run({"--info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(
        info.out,
        AllOf(HasSubstr("63A1D342-AE89-11D5-9414-0800690F2F3F  effect"),
              HasSubstr(
                  "61054A81-9662-11D0-B685-00A024191AE0  of 63A1D342-AE89-11D5-9414-0800690F2F3F"),
              HasSubstr("  name: Pattix\n"),
              HasSubstr("main property page  \"Pattix\"  428 x 302 pixels\n"),
              HasSubstr("help property page  \"Help\"  428 x 340 pixels\n"),
              HasSubstr(
                  "identifier: 63A1D3A6-AE89-11D5-9414-0800690F2F3F\n    type: integer (VT_I4)\n"
                  "    default: 0 (EBU Bars)\n"),
              HasSubstr("4 SMPTE Colour Bars"),
              HasSubstr("default: 0 (Horizontal)\n    values: 0 Horizontal, 1 Vertical\n"),
              HasSubstr(
                  "identifier: 63A1D3A8-AE89-11D5-9414-0800690F2F3F\n    type: boolean (VT_BOOL)\n"
                  "    default: 0 (false)\n")));
    EXPECT_THAT(m_Folder.names(), ElementsAre());
}

// Whole pictures through the program, FATE style: each line of pattix_checksums.txt is a run
// and the SHA-256 of its raw stream; the same run into a PNG file must hold the same samples.
TEST_F(PattixStreams, EveryListedRunHasItsChecksumInRawAndPngOutput) {
    std::ifstream in(PATTIX_CLI_CHECKSUMS);
    std::ostringstream table;
    const char* const rewrite = std::getenv("PATTIX_WRITE_CHECKSUMS");
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            table << line << "\n";
            continue;
        }
        const std::string command = line.substr(0, line.find_last_not_of(' ', line.rfind(' ')) + 1);
        std::vector<std::string> arguments;
        std::istringstream words(command);
        for (std::string word; words >> word;) arguments.push_back(word);
        arguments.insert(arguments.end(), {"-o", "-"});
        const RunResult raw = run(arguments);
        ASSERT_EQ(raw.status, 0) << command << ": " << raw.err;
        const std::string sum = sha256(raw.out);
        if (rewrite == nullptr) {
            EXPECT_EQ(sum, line.substr(line.rfind(' ') + 1)) << command;
        }
        arguments.back() = "picture.png";
        ASSERT_EQ(run(arguments).status, 0) << command;
        EXPECT_TRUE(asRawFrame(png("picture.png")) == raw.out) << command << ": PNG and raw differ";
        table << line.substr(0, line.rfind(' ') + 1) << sum << "\n";
        ++cases;
    }
    EXPECT_GE(cases, 15) << "cannot read " << PATTIX_CLI_CHECKSUMS;
    if (rewrite != nullptr) std::ofstream(rewrite) << table.str();
}

}  // namespace
}  // namespace pattix::testing

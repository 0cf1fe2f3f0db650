// Raw streams out of both buffer layouts, and files staged under a temporary name. (PNG files,
// numbered files and unwritable paths are checked end to end, through the program.)

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "apps/host/com_ptr.hpp"
#include "apps/host/errors.hpp"
#include "apps/host/fixed_point_conversion.hpp"
#include "apps/pattix/raw_frame_writer.hpp"
#include "apps/pattix/staged_file.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "tests/apps/pattix_process.hpp"

namespace pattix::cli {
namespace {

using pattix::testing::readFile;
using pattix::testing::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

host::ComPtr<sdk::host::HostImage> makeImage(int width, int height, const GUID& format) {
    return host::ComPtr<sdk::host::HostImage>(sdk::host::HostImage::create(width, height, format));
}

// Marks every pixel with its buffer row: 8-bit (row, x, 7, 255); 16-bit (row * 1000, x, -5,
// 16384), whose negative blue must come out as 0.
void markRows(sdk::host::HostImage& image) {
    for (int row = 0; row < image.height(); ++row) {
        for (int x = 0; x < image.width(); ++x) {
            std::byte* pixel =
                image.data() + row * image.rowBytes() + x * (image.rowBytes() / image.width());
            if (image.format() == MFIF_RGBA_RAW_32) {
                const std::uint8_t values[4] = {static_cast<std::uint8_t>(row),
                                                static_cast<std::uint8_t>(x), 7, 255};
                std::memcpy(pixel, values, sizeof values);
            } else {
                const std::int16_t values[4] = {static_cast<std::int16_t>(row * 1000),
                                                static_cast<std::int16_t>(x), -5, 16384};
                std::memcpy(pixel, values, sizeof values);
            }
        }
    }
}

std::string rawFrameOf(const sdk::host::HostImage& image, int frames) {
    const TempFolder folder;
    const std::string path = (folder / "frames.rgba").string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    RawFrameWriter writer(fd, "frames.rgba", image);
    for (int i = 0; i < frames; ++i) writer.write();
    ::close(fd);
    return readFile(path);
}

TEST(RawFrameWriter, EightBitFramesStartWithTheBufferLastRow) {
    const auto image = makeImage(2, 3, MFIF_RGBA_RAW_32);
    markRows(*image);
    const std::string bytes = rawFrameOf(*image, 2);
    ASSERT_EQ(bytes.size(), 2u * 2 * 3 * 4);
    const std::vector<unsigned char> frame(bytes.begin(), bytes.begin() + 24);
    EXPECT_THAT(frame, ElementsAre(2, 0, 7, 255, 2, 1, 7, 255,  // top: last buffer row
                                   1, 0, 7, 255, 1, 1, 7, 255,  //
                                   0, 0, 7, 255, 0, 1, 7, 255));
    EXPECT_EQ(bytes.substr(0, 24), bytes.substr(24));
}

TEST(RawFrameWriter, SixteenBitFramesKeepTheBufferOrderAsLittleEndianFileValues) {
    const auto image = makeImage(1, 3, MFIF_RGBA_S2_14);
    markRows(*image);
    const std::string bytes = rawFrameOf(*image, 1);
    ASSERT_EQ(bytes.size(), 3u * 8);
    std::vector<unsigned> values;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        values.push_back(static_cast<unsigned char>(bytes[i]) |
                         static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    EXPECT_THAT(values, ElementsAre(0, 0, 0, 65535,     // top: first buffer row
                                    4000, 0, 0, 65535,  // 1000 of 16384
                                    8000, 0, 0, 65535));
}

TEST(RawFrameWriter, LargeSixteenBitFramesConvertedInPartsComeOutInOrder) {
    // Big enough (16 MiB) that other threads convert parts of it, on a machine with more than one.
    const auto image = makeImage(1024, 2050, MFIF_RGBA_S2_14);
    auto* components = reinterpret_cast<std::int16_t*>(image->data());
    const std::size_t count = image->sizeBytes() / sizeof(std::int16_t);
    for (std::size_t i = 0; i < count; ++i)
        components[i] = static_cast<std::int16_t>(i * 7 % 20000 - 1000);
    std::vector<std::uint16_t> expected(count);
    host::convertFixedToUnsigned16<std::endian::little>(components, expected.data(), count);
    const std::string bytes = rawFrameOf(*image, 2);
    ASSERT_EQ(bytes.size(), 2 * image->sizeBytes());
    const std::string frame(reinterpret_cast<const char*>(expected.data()), image->sizeBytes());
    EXPECT_TRUE(bytes.substr(0, frame.size()) == frame);
    EXPECT_TRUE(bytes.substr(frame.size()) == frame);
}

TEST(RawFrameWriter, TallFramesNeedMoreThanOneGatheredWrite) {
    // More rows than one writev call takes.
    const auto image = makeImage(1, 2500, MFIF_RGBA_RAW_32);
    markRows(*image);
    const std::string bytes = rawFrameOf(*image, 1);
    ASSERT_EQ(bytes.size(), 2500u * 4);
    for (int row = 0; row < 2500; ++row) {
        ASSERT_EQ(static_cast<unsigned char>(bytes[row * 4]),
                  static_cast<unsigned char>(2499 - row))
            << row;
    }
}

TEST(RawFrameWriter, AClosedReaderIsAnErrorNamingTheOutput) {
    const auto image = makeImage(4, 4, MFIF_RGBA_RAW_32);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    ::signal(SIGPIPE, SIG_IGN);
    RawFrameWriter writer(pipeEnds[1], "to standard output", *image);
    try {
        writer.write();
        ADD_FAILURE() << "no error";
    } catch (const host::RunFailure& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("cannot write to standard output: Broken pipe"));
    }
    ::close(pipeEnds[1]);
}

TEST(StagedFile, CommitRenamesACompleteFileWithOrdinaryPermissions) {
    const TempFolder folder;
    const std::string target = (folder / "out.rgba").string();
    {
        StagedFile file(target);
        EXPECT_EQ(::write(file.fd(), "abc", 3), 3);
        ASSERT_EQ(folder.names().size(), 1u);
        EXPECT_THAT(folder.names()[0], ::testing::StartsWith(".out.rgba."));
        file.commit();
    }
    EXPECT_THAT(folder.names(), ElementsAre("out.rgba"));
    EXPECT_EQ(readFile(target), "abc");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(StagedFile, AFileNotCommittedLeavesNothingAndKeepsAnOldTarget) {
    const TempFolder folder;
    pattix::testing::writeFile(folder / "out.png", "old");
    {
        StagedFile file((folder / "out.png").string());
        EXPECT_EQ(::write(file.fd(), "new", 3), 3);
    }
    EXPECT_THAT(folder.names(), ElementsAre("out.png"));
    EXPECT_EQ(readFile(folder / "out.png"), "old");
}

}  // namespace
}  // namespace pattix::cli

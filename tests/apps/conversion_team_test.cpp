// Sharing a frame's conversion with helper threads: the chunks leave in order, whatever the
// number of helpers, and a writer that fails half-way leaves the team ready for the next frame.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "apps/host/conversion_team.hpp"
#include "apps/host/fixed_point_conversion.hpp"
#include "tests/support/thread_ends.hpp"

namespace pattix::host {
namespace {

std::vector<std::int16_t> sampleComponents(std::size_t count) {
    std::vector<std::int16_t> components(count);
    for (std::size_t i = 0; i < count; ++i) {
        components[i] = static_cast<std::int16_t>(static_cast<int>(i * 37 % 20000) - 1000);
    }
    return components;
}

std::vector<std::uint16_t> expectedValues(const std::vector<std::int16_t>& components) {
    std::vector<std::uint16_t> values(components.size());
    convertFixedToUnsigned16<std::endian::little>(components.data(), values.data(), values.size());
    return values;
}

TEST(ConversionTeam, ChunksLeaveInOrderWithAnyNumberOfHelpers) {
    // 1000 chunks of 7 and a short last one: helpers lap their rings many times.
    const std::vector<std::int16_t> components = sampleComponents(7003);
    const std::vector<std::uint16_t> expected = expectedValues(components);
    for (const unsigned helpers : {0u, 1u, 3u}) {
        ConversionTeam team(helpers, 7);
        for (int frame = 0; frame < 3; ++frame) {
            std::vector<std::uint16_t> received;
            team.convert(components.data(), components.size(),
                         [&](const std::uint16_t* values, std::size_t count) {
                             EXPECT_LE(count, 7u);
                             received.insert(received.end(), values, values + count);
                         });
            ASSERT_EQ(received, expected) << helpers << " helpers, frame " << frame;
        }
    }
}

TEST(ConversionTeam, AFailedWriteAbandonsTheFrameAndTheNextOneIsWhole) {
    const std::vector<std::int16_t> components = sampleComponents(4000);
    const std::vector<std::uint16_t> expected = expectedValues(components);
    for (const unsigned helpers : {1u, 3u}) {
        ConversionTeam team(helpers, 16);
        for (const int failAt : {0, 1, 2, 5, 200}) {
            int chunks = 0;
            EXPECT_THROW(team.convert(components.data(), components.size(),
                                      [&](const std::uint16_t*, std::size_t) {
                                          if (chunks++ == failAt)
                                              throw std::runtime_error("disk full");
                                      }),
                         std::runtime_error);
            std::vector<std::uint16_t> received;
            team.convert(components.data(), components.size(),
                         [&](const std::uint16_t* values, std::size_t count) {
                             received.insert(received.end(), values, values + count);
                         });
            ASSERT_EQ(received, expected) << helpers << " helpers, failed at chunk " << failAt;
        }
    }
}

TEST(ConversionTeam, HelpersStartWithTheFirstFrameStayAndAreJoinedWithTheTeam) {
    const std::vector<std::int16_t> components = sampleComponents(4000);
    // Helpers of earlier teams may still be leaving; they are not counted.
    const std::set<pid_t> earlier = pattix::testing::processThreads(ConversionTeam::kHelperName);
    auto newHelpers = [&earlier] {
        std::set<pid_t> now = pattix::testing::processThreads(ConversionTeam::kHelperName);
        for (const pid_t thread : earlier) now.erase(thread);
        return now;
    };
    std::set<pid_t> helpers;
    {
        ConversionTeam team(3, 16);
        EXPECT_TRUE(newHelpers().empty());
        for (int frame = 0; frame < 20; ++frame) {
            team.convert(components.data(), components.size(),
                         [](const std::uint16_t*, std::size_t) {});
            if (frame == 0) helpers = newHelpers();
            ASSERT_EQ(helpers.size(), 3u);
            ASSERT_EQ(newHelpers(), helpers) << "frame " << frame << ": a helper was restarted";
        }
    }
    for (const pid_t helper : helpers) EXPECT_TRUE(pattix::testing::threadEnds(helper));
}

}  // namespace
}  // namespace pattix::host

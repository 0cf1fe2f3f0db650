// The program's parts that no run shows on its own: 2.14 fixed point to 16-bit file values,
// the helper threads sharing a frame's conversion, and the stop signal reaching a render.

#include <gtest/gtest.h>
#include <signal.h>

#include <bit>
#include <stdexcept>
#include <vector>

#include "apps/host/conversion_team.hpp"
#include "apps/host/fixed_point_conversion.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/pattix/stop_signal.hpp"
#include "tests/support/thread_ends.hpp"

namespace pattix::host {
namespace {

std::uint16_t expected(int value, std::endian order = std::endian::native) {
    const long long clamped = value < 0 ? 0 : (value > 16384 ? 16384 : value);
    const auto file = static_cast<std::uint16_t>((clamped * 65535 + 8192) / 16384);
    return order == std::endian::native ? file : static_cast<std::uint16_t>(file << 8 | file >> 8);
}

// Every input, in both byte orders (runs of every length and alignment are the checksum
// table's odd widths).
TEST(FixedPointConversion, EveryValueBothByteOrders) {
    std::vector<std::int16_t> values(65536);
    for (int i = 0; i < 65536; ++i) values[i] = static_cast<std::int16_t>(i - 32768);
    std::vector<std::uint16_t> little(values.size()), big(values.size());
    convertFixedToUnsigned16<std::endian::little>(values.data(), little.data(), values.size());
    convertFixedToUnsigned16<std::endian::big>(values.data(), big.data(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_EQ(fixedToUnsigned16(values[i]), expected(values[i])) << values[i];
        ASSERT_EQ(little[i], expected(values[i], std::endian::little)) << values[i];
        ASSERT_EQ(big[i], expected(values[i], std::endian::big)) << values[i];
    }
}

// The chunks leave in order whatever the number of helpers, a writer failing half-way leaves
// the team ready for a whole next frame, and the helpers start with the first frame, stay, and
// are joined with the team.
TEST(ConversionTeam, ChunksInOrderAfterFailuresWithTheSameHelpers) {
    std::vector<std::int16_t> components(7003);  // 1000 chunks of 7 and a short last one
    for (std::size_t i = 0; i < components.size(); ++i)
        components[i] = static_cast<std::int16_t>(static_cast<int>(i * 37 % 20000) - 1000);
    std::vector<std::uint16_t> wanted(components.size());
    convertFixedToUnsigned16<std::endian::little>(components.data(), wanted.data(), wanted.size());
    const std::set<pid_t> earlier = pattix::testing::processThreads(ConversionTeam::kHelperName);
    const auto newHelpers = [&earlier] {
        std::set<pid_t> now = pattix::testing::processThreads(ConversionTeam::kHelperName);
        for (const pid_t thread : earlier) now.erase(thread);
        return now;
    };
    for (const unsigned helperCount : {0u, 1u, 3u}) {
        std::set<pid_t> helpers;
        {
            ConversionTeam team(helperCount, 7);
            EXPECT_TRUE(newHelpers().empty());
            for (const int failAt : {-1, 0, -1, 1, -1, 2, -1, 5, -1, 200, -1}) {
                int chunks = 0;
                std::vector<std::uint16_t> received;
                const auto write = [&](const std::uint16_t* values, std::size_t count) {
                    EXPECT_LE(count, 7u);
                    if (chunks++ == failAt) throw std::runtime_error("disk full");
                    received.insert(received.end(), values, values + count);
                };
                if (failAt >= 0) {
                    EXPECT_THROW(team.convert(components.data(), components.size(), write),
                                 std::runtime_error);
                    continue;
                }
                team.convert(components.data(), components.size(), write);
                ASSERT_EQ(received, wanted) << helperCount << " helpers";
                if (helpers.empty()) helpers = newHelpers();
                ASSERT_EQ(helpers.size(), helperCount);
                ASSERT_EQ(newHelpers(), helpers) << "a helper was restarted";
            }
        }
        for (const pid_t helper : helpers) EXPECT_TRUE(pattix::testing::threadEnds(helper));
    }
}

// The handler itself, with no process to race: a signal asks the render in progress to stop
// at its next row, not only the program at its next frame; and a frame the stop cut short is
// not reported as finished, even the last one, so it is neither written nor followed by a
// successful exit.
TEST(StopSignalHandler, ASignalStopsTheRenderInProgress) {
    sdk::host::HostExecutionContext context;
    {
        const cli::StopSignal handlers(context);
        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_EQ(cli::StopSignal::received(), SIGTERM);
    }
    EXPECT_TRUE(context.stopRequested());
    EXPECT_EQ(context.ShouldContinue(), FALSE);

    const ModuleSession session(PATTIX_MODULE_PATH);
    EffectInstance effect(session.createEffect());
    RenderSettings settings;
    settings.size = settings.world = {64, 48};
    FrameRenderer renderer(effect, settings, context);
    EXPECT_FALSE(renderer.render(0));
}

}  // namespace
}  // namespace pattix::host

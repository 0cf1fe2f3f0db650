// pattixsrc inside GStreamer: its frames byte for byte as `pattix -o -` writes them, the caps it
// settles on, the end of the stream, changes while playing, and what the bus hears when a value
// cannot be used.

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/apps/pattix_process.hpp"
#include "tests/gst/host_failures.hpp"

namespace pattix::testing {
namespace {

// The plug-in from the build tree, in a registry of the tests' own, scanned in this process so
// that a sanitizer's runtime is in every process that loads it. Of the system's plug-ins only
// the core elements are scanned: loading every installed plug-in into a sanitized process made
// clang's leak checker crash at exit, and the tests need no others.
class GStreamerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("GST_PLUGIN_PATH", PATTIX_GST_PLUGIN_DIR, 1);
        ::setenv("GST_PLUGIN_SYSTEM_PATH_1_0", PATTIX_GST_SYSTEM_PLUGIN_DIR, 1);
        ::setenv("GST_REGISTRY", PATTIX_GST_REGISTRY, 1);
        ::setenv("GST_REGISTRY_FORK", "no", 1);
        gst_init(nullptr, nullptr);
    }
};
[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GStreamerEnvironment);

// `pattixsrc ...` as a harnessed bin whose messages go to `bus`; what it pushes is queued for
// gst_harness_pull.
struct Source {
    explicit Source(const std::string& launch, const std::string& caps = {})
        : harness(gst_harness_new_parse(launch.c_str())),
          element(gst_harness_find_element(harness, "pattixsrc")) {
        if (!caps.empty()) gst_harness_set_sink_caps_str(harness, caps.c_str());
        gst_element_set_bus(harness->element, bus);
    }
    Source(const Source&) = delete;
    ~Source() {
        gst_harness_teardown(harness);
        gst_object_unref(element);
        gst_object_unref(bus);
    }

    // Calls `change` on the streaming thread right after frame `offset` is made, before the
    // next one is; without a change that frame is dropped, freeing its image for the next.
    void atFrame(guint64 offset, std::function<void(GstElement*)> change = nullptr) {
        m_Offset = offset;
        m_Change = std::move(change);
        GstPad* pad = gst_element_get_static_pad(element, "src");
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo* info, gpointer self) {
                auto& source = *static_cast<Source*>(self);
                if (GST_BUFFER_OFFSET(GST_PAD_PROBE_INFO_BUFFER(info)) != source.m_Offset)
                    return GST_PAD_PROBE_OK;
                if (!source.m_Change) return GST_PAD_PROBE_DROP;
                source.m_Change(source.element);
                return GST_PAD_PROBE_OK;
            },
            this, nullptr);
        gst_object_unref(pad);
    }

    std::string pullBytes() {
        GstBuffer* buffer = gst_harness_pull(harness);
        GstMapInfo map;
        if (buffer == nullptr || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return {};
        std::string bytes(reinterpret_cast<const char*>(map.data), map.size);
        gst_buffer_unmap(buffer, &map);
        gst_buffer_unref(buffer);
        return bytes;
    }

    GstHarness* harness;
    GstElement* element;
    GstBus* bus = gst_bus_new();

private:
    guint64 m_Offset = 0;
    std::function<void(GstElement*)> m_Change;
};

const std::string kPresetHead = "DS-Preset 1\nclass 63A1D342-AE89-11D5-9414-0800690F2F3F\n";

struct Report {
    GstMessageType type = GST_MESSAGE_UNKNOWN;  // unknown: nothing came
    std::string text;
};

// The first warning or error on `bus`, or the end of the stream, waiting up to `wait`.
Report firstReport(GstBus* bus, GstClockTime wait) {
    const auto kinds =
        static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_WARNING | GST_MESSAGE_EOS);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, wait, kinds);
    if (message == nullptr) return {};
    Report report{GST_MESSAGE_TYPE(message), {}};
    GError* error = nullptr;
    if (report.type == GST_MESSAGE_ERROR) gst_message_parse_error(message, &error, nullptr);
    if (report.type == GST_MESSAGE_WARNING) gst_message_parse_warning(message, &error, nullptr);
    if (error != nullptr) report.text = error->message;
    g_clear_error(&error);
    gst_message_unref(message);
    return report;
}

// Each test in a folder of its own, where pattix and the element find the same files.
class PattixSrc : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(m_Folder.path()); }
    void TearDown() override { std::filesystem::current_path(m_Folder.path().parent_path()); }
    // `pattix ... -n 1 -o -`: one raw frame.
    std::string pattixFrame(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"-n", "1", "-o", "-"});
        const RunResult result = runPattix(arguments, m_Folder.path());
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }

    TempFolder m_Folder;
};

TEST_F(PattixSrc, FramesAreThoseOfPattix) {
    struct Case {
        std::string properties;
        std::string caps;
        std::vector<std::string> pattix;
    };
    const std::vector<Case> cases = {
        {"pattern=4",
         "format=RGBA64_LE,width=320,height=240",
         {"-p", "smpte", "-s", "320x240", "--depth", "16"}},
        {"pattern=\"Grey Crossed Ramp\" direction=vertical",
         "format=RGBA64_LE,width=97,height=61",
         {"-p", "grey-crossed-ramp", "-d", "vertical", "-s", "97x61", "--depth", "16"}},
        {"pattern=rgb-ramp field=first roi=10,5,50,30",
         "format=RGBA,width=64,height=48",
         {"-p", "rgb-ramp", "--field", "first", "--roi", "10,5,50,30", "-s", "64x48"}},
        {"pattern=75 field=second roi=-5,20,40,100",
         "format=RGBA64_LE,width=64,height=48",
         {"-p", "75", "--field", "second", "--roi", "-5,20,40,100", "-s", "64x48", "--depth",
          "16"}},
        // The preset's direction, the pattern given after it; rows of 97 pixels end past the
        // last whole block of the row swap.
        {"preset=look.preset pattern=rgb-crossed-ramp",
         "format=RGBA,width=97,height=61",
         {"--preset", "look.preset", "-p", "rgb-crossed-ramp", "-s", "97x61"}},
    };
    // Grey Ramp, Vertical.
    writeFile("look.preset", kPresetHead + "63A1D3A6-AE89-11D5-9414-0800690F2F3F I4 6\n" +
                                 "63A1D3A7-AE89-11D5-9414-0800690F2F3F I4 1\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.properties + " " + c.caps);
        const std::string expected = pattixFrame(c.pattix);
        ASSERT_FALSE(expected.empty());

        Source source("pattixsrc num-buffers=3 " + c.properties, "video/x-raw," + c.caps);
        source.atFrame(0);  // the frames after it are drawn into an image used before
        gst_harness_play(source.harness);
        EXPECT_TRUE(source.pullBytes() == expected);
        EXPECT_TRUE(source.pullBytes() == expected);
    }
}

TEST_F(PattixSrc, OpenCapsBecomePalAt25TimesFollowTheRateAndNumBuffersEndsTheStream) {
    struct Case {
        std::string downstream;  // empty: anything
        int width, height;
        int rateN, rateD;
        std::size_t pixelBytes;
        guint64 frames = 3;
    };
    const std::vector<Case> cases = {
        {"", 720, 576, 25, 1, 4},
        {"video/x-raw,format=RGBA64_LE,width=[100,200],height=[1,50],framerate=[30/1,60/1]", 200,
         50, 30, 1, 8},
        {"video/x-raw,format=RGBA,width=64,height=48,framerate=30000/1001", 64, 48, 30000, 1001, 4},
        // A frame rate of 0 is one still picture: one buffer, then the end of the stream.
        {"video/x-raw,format=RGBA,width=16,height=8,framerate=0/1", 16, 8, 0, 1, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.downstream);
        Source source(c.frames == 3 ? "pattixsrc num-buffers=3" : "pattixsrc", c.downstream);
        gst_harness_play(source.harness);
        for (guint64 frame = 0; frame < c.frames; ++frame) {
            GstBuffer* buffer = gst_harness_pull(source.harness);
            ASSERT_NE(buffer, nullptr);
            const auto time = [&](guint64 n) {
                return gst_util_uint64_scale(n, c.rateD * GST_SECOND, c.rateN);
            };
            if (c.rateN != 0) {
                EXPECT_EQ(GST_BUFFER_PTS(buffer), time(frame));
                EXPECT_EQ(GST_BUFFER_DURATION(buffer), time(frame + 1) - time(frame));
            }
            EXPECT_EQ(GST_BUFFER_OFFSET(buffer), frame);
            EXPECT_EQ(GST_BUFFER_OFFSET_END(buffer), frame + 1);
            EXPECT_EQ(gst_buffer_get_size(buffer), c.width * c.height * c.pixelBytes);
            gst_buffer_unref(buffer);
        }
        GstBuffer* after = nullptr;
        EXPECT_TRUE(gst_harness_pull_until_eos(source.harness, &after));
        EXPECT_EQ(after, nullptr) << "a buffer after the last";
        if (after != nullptr) gst_buffer_unref(after);
    }
}

TEST_F(PattixSrc, AChangeWhilePlayingShowsInTheNextFrameAndABadOneIsAWarning) {
    struct Case {
        const char* property;
        const char* value;
        std::vector<std::string> pattixAfter;  // the frames made after the change
        const char* warning;                   // null: none
    };
    const std::vector<Case> cases = {
        {"pattern", "smpte", {"-p", "smpte"}, nullptr},
        {"roi", "0,0,32,24", {"-p", "ebu", "--roi", "0,0,32,24"}, nullptr},
        {"roi", "nonsense", {"-p", "ebu"}, "region 'nonsense' is not a region"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.property) + "=" + c.value);
        std::vector<std::string> after = c.pattixAfter;
        after.insert(after.end(), {"-s", "64x48"});
        const std::string before = pattixFrame({"-p", "ebu", "-s", "64x48"});
        const std::string expected = pattixFrame(after);

        Source source("pattixsrc num-buffers=3", "video/x-raw,width=64,height=48");
        source.atFrame(1, [&](GstElement* element) {
            gst_util_set_object_arg(G_OBJECT(element), c.property, c.value);
        });
        gst_harness_play(source.harness);
        EXPECT_TRUE(source.pullBytes() == before);
        EXPECT_TRUE(source.pullBytes() == before);
        EXPECT_TRUE(source.pullBytes() == expected);

        // A warning is posted before the frame after it is made.
        const Report report = firstReport(source.bus, 0);
        EXPECT_EQ(report.type, c.warning ? GST_MESSAGE_WARNING : GST_MESSAGE_UNKNOWN);
        EXPECT_NE(report.text.find(c.warning ? c.warning : ""), std::string::npos) << report.text;
    }
}

TEST_F(PattixSrc, WhatCannotBeUsedIsReportedOnTheBus) {
    struct Case {
        std::string launch;
        GstMessageType type;
        std::string text;
        const char* module = nullptr;  // PATTIX_MODULE, when set
        bool failRender = false;
    };
    writeFile("strange.preset", kPresetHead + "63A1D3A6-AE89-11D5-9414-0800690F2F3F I4 42\n");
    const std::vector<Case> cases = {
        {"pattixsrc roi=nonsense", GST_MESSAGE_ERROR, "region 'nonsense' is not a region"},
        {"pattixsrc roi=800,0,10,10", GST_MESSAGE_ERROR, "lies outside the 720x576 picture"},
        {"pattixsrc ! video/x-raw,width=200000,height=200000", GST_MESSAGE_ERROR,
         "size 200000x200000 is too large"},
        {"pattixsrc preset=/nonexistent/look.preset", GST_MESSAGE_ERROR,
         "cannot read preset '/nonexistent/look.preset'"},
        {"pattixsrc num-buffers=1 preset=strange.preset", GST_MESSAGE_WARNING,
         "Pattern 42 (from preset 'strange.preset') is none of the nine patterns"},
        {"pattixsrc", GST_MESSAGE_ERROR, "cannot load module '/nonexistent/libpattix.so'",
         "/nonexistent/libpattix.so"},
        {"pattixsrc", GST_MESSAGE_ERROR, "the module refused to render frame 0", nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.launch);
        if (c.module) ::setenv("PATTIX_MODULE", c.module, 1);
        if (c.failRender) failEveryRender();
        Report report;
        {
            const auto caps = c.launch.find(" ! ");
            Source source(c.launch.substr(0, caps),
                          caps == std::string::npos ? "" : c.launch.substr(caps + 3));
            gst_element_set_state(source.harness->element, GST_STATE_PLAYING);
            // A minute only guards against a hang; nothing here waits on time.
            report = firstReport(source.bus, 60 * GST_SECOND);
        }
        ::unsetenv("PATTIX_MODULE");
        clearHostFailures();

        EXPECT_EQ(report.type, c.type);
        EXPECT_NE(report.text.find(c.text), std::string::npos) << report.text;
    }
}

}  // namespace
}  // namespace pattix::testing

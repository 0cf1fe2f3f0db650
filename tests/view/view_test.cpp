// pattix-view end to end: started in the test's display server, driven with real input events
// (xdotool clicks on the pages' widgets, keys, the wheel, a middle drag), and checked on the
// screen by what the picture means.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/apps/png_reader.hpp"
#include "tests/support/desktop.hpp"
#include "tests/view/view_process.hpp"

namespace pattix::testing {
namespace {

// A small picture in a window that leaves the viewer wider than the picture's shape.
const std::vector<std::string> kWindow{"-s", "640x360", "--window", "1000x560"};
// What the Pattern combo shows.
const std::string kPicked = "value Pattix:1000 = ";

struct Sample {
    double fx, fy;  // fractions of the picture's width and height from its top-left corner
    Rgb colour;
};

// EBU bars run the full height: white (at 100%), then 75% yellow, in every row.
const std::vector<Sample> kEbuBars{
    {0.06, 0.15, {255, 255, 255}}, {0.06, 0.9, {255, 255, 255}}, {0.19, 0.5, {191, 191, 0}}};
// SMPTE bars upright: 75% grey and yellow on top, the blue of the reversed strip below them,
// and the dark -I of the bottom strip at the very bottom on the left.
const std::vector<Sample> kSmpteBars{{0.06, 0.15, {191, 191, 191}},
                                     {0.19, 0.15, {191, 191, 0}},
                                     {0.06, 0.71, {0, 0, 191}},
                                     {0.06, 0.9, {0, 18, 15}}};

// Whether the picture shows `samples`, each within a few code values.
::testing::AssertionResult shows(const Screenshot& shot, const Rect& picture,
                                 const std::vector<Sample>& samples) {
    for (const Sample& s : samples) {
        const Rgb seen = shot.at(picture, s.fx, s.fy);
        for (int c = 0; c < 3; ++c) {
            if (std::abs(seen[c] - s.colour[c]) > 12) {
                return ::testing::AssertionFailure()
                       << "at (" << s.fx << ", " << s.fy << ") of the picture: " << seen[0] << ","
                       << seen[1] << "," << seen[2] << " where " << s.colour[0] << ","
                       << s.colour[1] << "," << s.colour[2] << " belongs";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(PattixView, PagesPickResetUndoAndRedo) {
    ViewProcess view(kWindow);
    view.waitFor({"shown: EBU Bars, 640x360, 8-bit"});
    const Rect picture = view.widget("picture");
    EXPECT_TRUE(shows(view.screenshot(), picture, kEbuBars));
    view.click("Pattix:1000");
    const struct {
        const char* click;  // a widget, or else keys
        const char* keys;
        std::string shown;
        const std::vector<Sample>& looks;
    } steps[] = {
        {"Pattix:1000:SMPTE Colour Bars", nullptr, "SMPTE Colour Bars", kSmpteBars},
        {"Pattix:1002", nullptr, "EBU Bars", kEbuBars},  // Reset
        {nullptr, "ctrl+z", "SMPTE Colour Bars", kSmpteBars},
        {nullptr, "ctrl+shift+z", "EBU Bars", kEbuBars},
    };
    for (const auto& step : steps) {
        step.click ? view.click(step.click) : view.key(step.keys);
        view.waitFor({kPicked + step.shown, "shown: " + step.shown});
        EXPECT_TRUE(shows(view.screenshot(), picture, step.looks)) << step.shown;
    }
    view.close();
    EXPECT_EQ(view.finish(), 0);
    EXPECT_EQ(view.lines().back(), "closed: overlay removed, module unloaded");
    EXPECT_EQ(view.errors(), "");
}

TEST(PattixView, HelpPageTogglesItsCheckBoxAndOpensTheManual) {
    const Desktop desktop;
    const auto manual = desktop.makeFile(
        "C:\\Program Files\\Quillmere\\Vornex 4.3 for DS10 (32bit)\\Documentation\\Vornex4.3.pdf");
    ViewProcess view(kWindow);
    view.click("tab:Help");
    view.waitFor({"value Help:1003 = unchecked"});
    view.click("Help:1003");
    view.waitFor({"value Help:1003 = checked"});
    // The opener runs on its own; the recorder writes its log when it has been handed the file.
    FolderWatch watch(desktop.root());
    view.click("Help:1006");  // Online Help
    EXPECT_TRUE(watch.waitForWrite("opener.log", view.pid()));
    view.key("F1");  // the property frame's Help
    EXPECT_TRUE(watch.waitForWrite("opener.log", view.pid()));
    EXPECT_EQ(readFile(desktop.opener().string() + ".log"),
              manual.string() + "\n" + manual.string() + "\n");
    view.close();
    EXPECT_EQ(view.finish(), 0);
    EXPECT_EQ(view.errors(), "");
}

TEST(PattixView, WheelZoomsAboutThePointerKeysFitAndShowPixels) {
    ViewProcess view(kWindow);
    view.waitFor({"shown: EBU Bars"});
    const Rect fitted = view.widget("picture");
    view.key("1");
    const Rect actual = view.moved("picture");
    EXPECT_EQ(actual.width, 640);
    EXPECT_EQ(actual.height, 360);

    // The picture point under the pointer stays under it.
    const int px = fitted.x + fitted.width / 4, py = fitted.y + fitted.height / 3;
    view.key("f");
    EXPECT_EQ(view.moved("picture").width, fitted.width);
    runTool({"xdotool", "mousemove", "--window", view.window(), std::to_string(px),
             std::to_string(py), "click", "4"});
    const Rect zoomed = view.moved("picture");
    EXPECT_NEAR(zoomed.width, fitted.width * 1.25, 2);
    EXPECT_NEAR((px - zoomed.x) / double(zoomed.width), (px - fitted.x) / double(fitted.width),
                0.01);

    runTool(
        {"xdotool", "mousedown", "2", "mousemove_relative", "--sync", "40", "25", "mouseup", "2"});
    const Rect panned = view.moved("picture");
    EXPECT_EQ(panned.x, zoomed.x + 40);
    EXPECT_EQ(panned.y, zoomed.y + 25);
    view.close();
    EXPECT_EQ(view.finish(), 0) << view.errors();
}

// --screenshot: the window once it shows the picture; a 16-bit picture, whose host rows are
// stored top first, still shows upright.
TEST(PattixView, ScreenshotSavesTheWindowShowingTheUprightPicture) {
    const TempFolder folder;
    const auto file = (folder / "view.png").string();
    std::vector<std::string> arguments = kWindow;
    arguments.insert(arguments.end(), {"-p", "smpte", "--depth", "16", "--screenshot", file});
    ViewProcess view(arguments);
    const Rect picture = view.widget("picture");
    EXPECT_EQ(view.finish(), 0) << view.errors();
    const Picture png = readPng(file);
    ASSERT_EQ(png.width, 1000);
    ASSERT_EQ(png.height, 560);
    ASSERT_EQ(png.bitDepth, 8);
    Screenshot shot{png.width, png.height, {}};
    const auto* bytes = reinterpret_cast<const unsigned char*>(png.raw.data());
    for (std::size_t i = 0; i < png.raw.size(); i += 4)
        shot.pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
    EXPECT_TRUE(shows(shot, picture, kSmpteBars));
}

// What the viewer adds to the picture options is refused by name too.
TEST(PattixView, ABadWindowSizeIsNamed) {
    ViewProcess view({"--window", "wide"});
    EXPECT_EQ(view.finish(), 2);
    EXPECT_EQ(view.errors().rfind("pattix-view: window size 'wide'", 0), 0u) << view.errors();
}

}  // namespace
}  // namespace pattix::testing

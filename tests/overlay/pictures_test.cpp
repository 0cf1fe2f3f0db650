// What the overlay draws, read back from Mesa's software renderer: every line of pictures.txt
// names one picture below and the SHA-256 of its pixels. The pictures were reviewed by eye
// (PATTIX_DUMP_PICTURES=DIR writes each as DIR/<name>.ppm) before their sums were frozen. After a
// deliberate change to a picture, regenerate the table and review the diff:
//   PATTIX_WRITE_PICTURES=tests/overlay/pictures.txt
//     build/test/bin/overlay_tests --gtest_filter='OverlayPictures.*'
// (one command line). Text is left out of the table: its glyphs come from whichever font the
// machine's fontconfig picks, so it is compared with itself instead.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "plugin/overlay/axis.hpp"
#include "plugin/overlay/draw.hpp"
#include "tests/overlay/gl_context.hpp"
#include "tests/support/sha256.hpp"

namespace pattix {
namespace {

using test::Rgb;
using Axis = KtT2DAxis;

constexpr Rgb kGrey{153, 153, 153};  // OverlayGrey, the viewer's clear colour
constexpr OverlayColour kRed{1, 0, 0};
constexpr OverlayColour kBlue{0, 0, 1};

// An axis at the middle of the picture in the given state.
void drawAxis(std::int32_t parts, std::int32_t part = 0, std::uint8_t flags = 0, float scale = 1,
              std::uint8_t axisFlags = 0) {
    Axis axis("axis", parts);
    axis.m_Centre = {48.5f, 48.5f};
    axis.m_nPart = part;
    axis.m_Flags = flags;
    axis.setScale(scale);
    axis.m_AxisFlags = axisFlags;
    axis.m_fRotation = 30.0f;
    // An axis with neither move part is drawn about the origin.
    glPushMatrix();
    if (!axis.enabled(Axis::kCentre)) glTranslatef(48.5f, 48.5f, 0);
    axis.draw();
    glPopMatrix();
}

struct Picture {
    const char* name;
    std::function<void()> draw;
};

const std::vector<Picture>& pictures() {
    constexpr std::uint8_t kPressed = KtTObject::kPressed, kHovered = KtTObject::kHovered;
    static const std::vector<Picture> list = {
        {"dashed-line", [] { KtTDraw::drawDashedLine(0, 10.5f, 96, 40.5f, kRed, kBlue); }},
        {"dashed-arc", [] { KtTDraw::drawDashedArc(48, 48, 40, 0, 90, kRed, kBlue); }},
        {"shapes",
         [] {
             KtTDraw::setColour(kRed);
             KtTDraw::drawDisk(20.5f, 20.5f, 10);
             KtTDraw::setColour(kBlue);
             KtTDraw::drawCircle(70.5f, 70.5f, 10);
             KtTDraw::drawDiskOutlined(20.5f, 75.5f, 8, kRed, kBlue);
             KtTDraw::drawRect(60, 10, 80, 15);
             KtTDraw::drawLine(40, 40, 55, 30, kRed);
         }},
        {"no-radius",
         [] {
             for (float r : {0.0f, -5.0f}) {
                 KtTDraw::drawCircle(48, 48, r);
                 KtTDraw::drawDisk(48, 48, r);
                 KtTDraw::drawArc(48, 48, r, 0, 360);
                 KtTDraw::drawDiskOutlined(48, 48, r, kRed, kBlue);
             }
         }},
        {"disk-after-release",
         [] {
             KtTDraw::drawDisk(20, 20, 3);
             releaseQuadric();
             releaseQuadric();
             KtTDraw::setColour(kRed);
             KtTDraw::drawDisk(60.5f, 60.5f, 5);
         }},
        {"arrow-heads",
         [] {
             const float d[][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}, {1, 1}, {-3, 2}};
             for (int i = 0; i < 6; ++i)
                 KtTDraw::drawArrowHead(16.5f + 30 * (i % 3), 24.5f + 48 * (i / 3), d[i][0],
                                        d[i][1], 14, 5, kRed, kBlue);
         }},
        {"transform-stack",
         [] {
             Affine2D m;
             m.scale(2, 3);
             m.rotate(0.5f);
             m.translate(40, 10);
             KtTDraw::pushAffine();
             KtTDraw::concatAffine(m);
             glPushMatrix();
             KtTDraw::applyAffine();
             KtTDraw::setColour(kRed);
             KtTDraw::drawRect(0, 0, 10, 5);
             glPopMatrix();
             KtTDraw::popAffine();
         }},
        {"group-background",
         [] {
             KtTGroup grey("grey"), blue("blue");
             grey.m_Bounds = {10, 10, 20, 10};
             grey.draw();  // the default grey on grey
             blue.m_Bounds = {40, 50, 30, 20};
             blue.m_GroupFlags &= static_cast<std::uint8_t>(~KtTGroup::kDefaultGrey);
             blue.m_BackgroundColour = kBlue;
             blue.draw();
         }},
        {"axis-move", [] { drawAxis(Axis::kCentre); }},
        {"axis-move-x-pressed", [] { drawAxis(Axis::kCentre, Axis::kMoveX, kPressed); }},
        {"axis-move-y-hovered", [] { drawAxis(Axis::kCentre, Axis::kMoveY, kHovered); }},
        {"axis-locked", [] { drawAxis(Axis::kCentre, 0, 0, 1, Axis::kLocked); }},
        {"axis-rotate-scale", [] { drawAxis(Axis::kRotate | Axis::kUniformScale); }},
        {"axis-rotate-hovered", [] { drawAxis(Axis::kRotate, Axis::kRotate, kHovered); }},
        {"axis-rotate-pressed", [] { drawAxis(Axis::kRotate, Axis::kRotate, kPressed); }},
        {"axis-scale-x-hovered", [] { drawAxis(Axis::kAnyScale, Axis::kScaleX, kHovered); }},
        {"axis-scale-y-pressed", [] { drawAxis(Axis::kAnyScale, Axis::kScaleY, kPressed); }},
        {"axis-aspect-hovered",
         [] { drawAxis(Axis::kAspect | Axis::kUniformScale, Axis::kAspect, kHovered); }},
        {"axis-aspect-pressed", [] { drawAxis(Axis::kAspect, Axis::kAspect, kPressed); }},
        {"axis-all-half-size", [] { drawAxis(Axis::kAllButAspect | Axis::kAspect, 0, 0, 0.5f); }},
        {"axis-group-through-stack",
         [] {
             KtT2DAxisGroup group("group", Axis::kCentre);
             group.m_Centre = {30.5f, 40.5f};
             group.m_bOwnWidgetThroughStack = true;
             Axis child("child", Axis::kRotate);
             group.add(&child);
             Affine2D shift;
             shift.translate(20, 10);
             KtTDraw::pushAffine();
             KtTDraw::concatAffine(shift);
             group.draw();
             KtTDraw::popAffine();
         }},
    };
    return list;
}

TEST(OverlayPictures, EveryPictureHasItsSumAndLeavesTheDrawingStateAsItWas) {
    test::OffscreenContext context(96, 96);
    ASSERT_TRUE(context.ok()) << context.error();
    std::map<std::string, std::string> sums;
    std::ifstream in(PATTIX_OVERLAY_PICTURES);
    for (std::string name, sum; in >> name >> sum;) sums[name] = sum;
    const char* const rewrite = std::getenv("PATTIX_WRITE_PICTURES");
    const char* const dump = std::getenv("PATTIX_DUMP_PICTURES");
    std::string table;
    // As the viewer tool's drawing pass leaves it, with a stipple and blending of its own that
    // the drawing must put back.
    glShadeModel(GL_FLAT);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(2, 0xFFFF);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_POINT_SMOOTH);
    for (const Picture& picture : pictures()) {
        context.clear(kGrey);
        glColor3f(1, 1, 1);
        picture.draw();
        const std::vector<Rgb> pixels = context.readAll();
        const std::string sum = testing::sha256Hex(pixels.data(), pixels.size() * sizeof(Rgb));
        if (rewrite == nullptr) {
            EXPECT_EQ(sum, sums[picture.name]) << picture.name;
        }
        table += std::string(picture.name) + " " + sum + "\n";
        if (dump != nullptr) {
            std::ofstream ppm(std::string(dump) + "/" + picture.name + ".ppm", std::ios::binary);
            ppm << "P6 96 96 255\n";
            for (int y = 95; y >= 0; --y)
                ppm.write(reinterpret_cast<const char*>(&pixels[y * 96]), 96 * sizeof(Rgb));
        }
    }
    if (rewrite != nullptr) std::ofstream(rewrite) << table;
    glEnable(GL_BLEND);  // blending the viewer had on stays on
    drawAxis(Axis::kCentre);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    std::vector<GLint> state;
    for (GLenum name :
         {GL_LINE_STIPPLE_PATTERN, GL_LINE_STIPPLE_REPEAT, GL_BLEND_SRC, GL_MODELVIEW_STACK_DEPTH})
        glGetIntegerv(name, &state.emplace_back());
    EXPECT_EQ(state, (std::vector<GLint>{0xFFFF, 2, GL_ONE, 1}));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_TRUE(glIsEnabled(GL_POINT_SMOOTH));
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A label is yellow text over a shadow one pixel down and left, drawn only while a font range
// is current; an axis's label names the part under the pen and its description, unless pressed.
TEST(OverlayText, LabelsNameThePartAndShowOnlyWithAFont) {
    test::OffscreenContext context(96, 64);
    ASSERT_TRUE(context.ok()) << context.error();
    const unsigned int lists = KtTDraw::buildFontLists(wglGetCurrentDC());
    ASSERT_NE(lists, 0u);
    auto label = [&](const char* text) {
        context.clear(kGrey);
        KtTDraw::drawLabelText(text, 4, 40);
        return context.readAll();
    };
    EXPECT_EQ(label("Pattix"), label(""));
    KtTDraw::setFontLists(lists);
    const std::vector<Rgb> pixels = label("Pattix");
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), Rgb{255, 255, 0}), 40);
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), Rgb{25, 25, 25}) +
                  std::count(pixels.begin(), pixels.end(), Rgb{26, 26, 26}),
              5);
    EXPECT_NE(label("Frame"), label("Frame."));

    Axis axis("axis", Axis::kCentre | Axis::kRotate);
    axis.setDescription("frame");
    struct Row {
        std::int32_t part;
        std::uint8_t flags;
        const char* text;
    };
    for (const Row& r : {Row{Axis::kCentre, 0, "Translates the frame."},
                         Row{Axis::kMoveX, 0, "Translates the frame."},
                         Row{Axis::kRotate, 0, "Rotates the frame."},
                         Row{Axis::kScaleX | Axis::kScaleY, 0, "Scales the frame."},
                         Row{Axis::kAspect, 0, "Aspects the frame."},
                         Row{Axis::kCentre, KtTObject::kPressed, ""}, Row{0, 0, ""}}) {
        axis.m_nPart = r.part;
        axis.m_Flags = r.flags;
        context.clear(kGrey);
        axis.drawLabel({4, 40});
        EXPECT_EQ(context.readAll(), label(r.text)) << r.text;
    }
    KtTDraw::deleteFontLists(lists);
    EXPECT_EQ(KtTDraw::fontLists(), 0u);  // text no longer reaches the deleted range
    EXPECT_EQ(label("Pattix"), label(""));
}

}  // namespace
}  // namespace pattix

// The GDI and WGL font stand-ins: face resolution through fontconfig, device contexts bound to
// the current OpenGL context, and FreeType glyphs in display lists, read back as pixels.
#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/overlay/draw.hpp"
#include "sdk/platform/call_log.hpp"
#include "sdk/platform/font.hpp"
#include "tests/overlay/gl_context.hpp"

namespace pattix {
namespace {

using test::OffscreenContext;
using test::Rgb;

constexpr Rgb kBlack{0, 0, 0};

// The family fontconfig itself picks for a pattern such as "Helvetica:bold".
std::string fontconfigFamily(const char* pattern) {
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    std::string family;
    FcChar8* name = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
        family = reinterpret_cast<const char*>(name);
    if (match != nullptr) FcPatternDestroy(match);
    return family;
}

HFONT makeFont(int height, int weight, const char* face) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face);
}

TEST(FontCalls, HelvResolvesToTheSystemsHelveticaSubstituteAndCreateFontCanFail) {
    EXPECT_EQ(sdk::substituteFaceName("helv"), "Helvetica");
    EXPECT_EQ(sdk::substituteFaceName("Helv"), "Helvetica");
    EXPECT_EQ(sdk::substituteFaceName("Arial"), "Arial");

    const HFONT font = makeFont(18, FW_BOLD, "helv");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->faceName, "helv");
    EXPECT_EQ(font->height, 18);
    EXPECT_EQ(font->weight, FW_BOLD);
    const std::string expected = fontconfigFamily("Helvetica:bold");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(font->family, expected);
    EXPECT_TRUE(std::filesystem::exists(font->file)) << font->file;
    EXPECT_TRUE(DeleteObject(font));

    sdk::resetCallLog();
    sdk::failCall("CreateFontA", E_FAIL);
    EXPECT_EQ(makeFont(18, FW_BOLD, "helv"), nullptr);
    EXPECT_EQ(sdk::countCalls("CreateFontA"), 1u);
    sdk::resetCallLog();
}

// A device context exists while a GL context is current; it starts with a stock font, and a
// font selected into it is not deleted.
TEST(FontCalls, DeviceContextsFollowTheCurrentGLContextAndHoldTheirSelectedFont) {
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    OffscreenContext context(16, 16);
    ASSERT_TRUE(context.ok()) << context.error();
    const HDC dc = wglGetCurrentDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(wglGetCurrentDC(), dc);
    context.releaseCurrent();
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    EXPECT_EQ(wglUseFontBitmapsW(dc, 32, 96, 1), FALSE);  // no context to fill lists in
    context.makeCurrent();
    EXPECT_EQ(wglGetCurrentDC(), dc);
    sdk::failCall("wglGetCurrentDC", E_FAIL);
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    sdk::resetCallLog();

    const HFONT stock = dc->font;
    ASSERT_NE(stock, nullptr);
    EXPECT_FALSE(DeleteObject(stock));
    const HFONT font = makeFont(12, FW_NORMAL, "helv");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(SelectObject(dc, font), stock);
    EXPECT_EQ(dc->font, font);
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(SelectObject(dc, stock), font);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(SelectObject(nullptr, stock), nullptr);
    EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
}

class FontBitmapsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok()) << context.error();
        sdk::resetCallLog();
        KtTDraw::setFontLists(0);
    }
    void TearDown() override {
        KtTDraw::setFontLists(0);
        sdk::resetCallLog();
    }

    // Builds lists for the characters 32 to 127 of a font, draws `text` in white on black at
    // (8, 20), and answers the pixels drawn.
    std::vector<Rgb> drawWith(int height, int weight, const char* text) {
        const HDC dc = wglGetCurrentDC();
        const HFONT font = makeFont(height, weight, "helv");
        EXPECT_NE(font, nullptr);
        const HGDIOBJ previous = SelectObject(dc, font);
        const GLuint lists = glGenLists(96);
        EXPECT_TRUE(wglUseFontBitmapsW(dc, 32, 96, lists));
        SelectObject(dc, previous);
        DeleteObject(font);
        context.clear(kBlack);
        KtTDraw::setFontLists(lists);
        glColor3f(1, 1, 1);
        KtTDraw::drawText(text, std::strlen(text), 8, 20);
        KtTDraw::setFontLists(0);
        glDeleteLists(lists, 96);
        return context.readAll();
    }

    // The drawn pixels' count and bounding box.
    struct Ink {
        int pixels = 0;
        int left = 1 << 20, right = -1, bottom = 1 << 20, top = -1;
    };
    Ink inkOf(const std::vector<Rgb>& pixels) const {
        Ink ink;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (pixels[i] == kBlack) continue;
            const int x = static_cast<int>(i) % context.width();
            const int y = static_cast<int>(i) / context.width();
            ++ink.pixels;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.bottom = std::min(ink.bottom, y);
            ink.top = std::max(ink.top, y);
        }
        return ink;
    }

    OffscreenContext context{128, 64};
};

TEST_F(FontBitmapsTest, GlyphsHaveTheFontsHeightWeightAndAdvance) {
    const Ink ink = inkOf(drawWith(18, FW_BOLD, "H"));
    ASSERT_GT(ink.pixels, 0);
    EXPECT_EQ(ink.bottom, 20);  // 'H' stands on the baseline
    // A cell of 18 pixels holds ascent and descent; a capital fills well over half of it.
    EXPECT_GE(ink.top - ink.bottom + 1, 10);
    EXPECT_LE(ink.top - ink.bottom + 1, 15);
    EXPECT_GE(ink.left, 8);
    EXPECT_LE(ink.left, 10);
    const Ink taller = inkOf(drawWith(36, FW_BOLD, "H"));
    EXPECT_NEAR(taller.top - taller.bottom + 1, 2 * (ink.top - ink.bottom + 1), 2);
    EXPECT_LT(inkOf(drawWith(18, FW_BOLD, "g")).bottom, 20);

    // Lower-case strokes are one pixel wide in the normal face at this size, two in bold.
    const Ink bold = inkOf(drawWith(18, FW_BOLD, "aeaeae"));
    const Ink normal = inkOf(drawWith(18, FW_NORMAL, "aeaeae"));
    EXPECT_GT(bold.pixels, normal.pixels * 5 / 4) << bold.pixels << " vs " << normal.pixels;

    // A space advances without ink.
    EXPECT_EQ(inkOf(drawWith(18, FW_BOLD, "   ")).pixels, 0);
    const Ink close = inkOf(drawWith(18, FW_BOLD, "II"));
    const Ink apart = inkOf(drawWith(18, FW_BOLD, "I I"));
    EXPECT_GT(apart.right - apart.left, close.right - close.left + 2);
    EXPECT_EQ(apart.pixels, close.pixels);
}

TEST_F(FontBitmapsTest, BuildFontListsMakesAFontSelectsItBackAndDeletesIt) {
    const HDC dc = wglGetCurrentDC();
    const HFONT before = dc->font;
    const unsigned int lists = KtTDraw::buildFontLists(dc);
    ASSERT_NE(lists, 0u);
    EXPECT_EQ(dc->font, before);
    EXPECT_EQ(sdk::calls(),
              (std::vector<std::string>{"wglGetCurrentDC", "CreateFontA", "SelectObject",
                                        "wglUseFontBitmapsW", "SelectObject", "DeleteObject"}));
    EXPECT_TRUE(glIsList(lists));
    EXPECT_TRUE(glIsList(lists + 95));
    KtTDraw::setFontLists(lists);
    KtTDraw::deleteFontLists(lists);
    EXPECT_FALSE(glIsList(lists));
    EXPECT_EQ(KtTDraw::fontLists(), 0u);  // text no longer reaches the deleted range
    KtTDraw::deleteFontLists(0);
}

// Without a device context or a font there are no lists; when only the bitmaps fail, the
// range is still reserved and draws nothing.
TEST_F(FontBitmapsTest, FailuresLeaveNoListsOrListsThatDrawNothing) {
    EXPECT_EQ(KtTDraw::buildFontLists(nullptr), 0u);
    sdk::failCall("CreateFontA", E_FAIL);
    EXPECT_EQ(KtTDraw::buildFontLists(wglGetCurrentDC()), 0u);
    EXPECT_EQ(sdk::countCalls("SelectObject"), 0u);

    sdk::resetCallLog();
    sdk::failCall("wglUseFontBitmapsW", E_FAIL);
    const unsigned int lists = KtTDraw::buildFontLists(wglGetCurrentDC());
    ASSERT_NE(lists, 0u);
    EXPECT_EQ(sdk::countCalls("DeleteObject"), 1u);
    context.clear(kBlack);
    KtTDraw::setFontLists(lists);
    KtTDraw::drawLabelText("Pattix", 8, 20);
    EXPECT_EQ(context.countDifferent(kBlack), 0);
    KtTDraw::deleteFontLists(lists);
}

}  // namespace
}  // namespace pattix

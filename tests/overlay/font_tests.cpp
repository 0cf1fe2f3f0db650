// The GDI and WGL font stand-ins: face resolution through fontconfig, device contexts bound to
// the current OpenGL context, and FreeType glyphs in display lists, read back as pixels.
#include <GL/gl.h>
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

HFONT makeFont(int height, int weight, const char* face) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face);
}

// "helv" resolves to a font file through fontconfig; a device context exists
// while a GL context is current, starts with a stock font, and keeps a selected font alive.
TEST(FontCalls, FacesResolveThroughFontconfigAndDeviceContextsFollowTheGLContext) {
    EXPECT_EQ(sdk::substituteFaceName("Helv"), "Helvetica");
    EXPECT_EQ(sdk::substituteFaceName("Arial"), "Arial");
    const HFONT font = makeFont(18, FW_BOLD, "helv");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->height, 18);
    EXPECT_TRUE(std::filesystem::exists(font->file)) << font->file;

    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    OffscreenContext context(16, 16);
    ASSERT_TRUE(context.ok()) << context.error();
    const HDC dc = wglGetCurrentDC();
    ASSERT_NE(dc, nullptr);
    context.releaseCurrent();
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    EXPECT_EQ(wglUseFontBitmapsW(dc, 32, 96, 1), FALSE);  // no context to fill lists in
    context.makeCurrent();
    EXPECT_EQ(wglGetCurrentDC(), dc);
    const HFONT stock = dc->font;
    EXPECT_EQ(SelectObject(dc, font), stock);
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(SelectObject(dc, stock), font);
    EXPECT_TRUE(DeleteObject(font));
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

// 'H' stands on the baseline, fills well over half of an 18-pixel cell;
// 'g' descends below it; bold strokes are wider; a space advances without ink.
TEST_F(FontBitmapsTest, GlyphsHaveTheFontsHeightWeightAndAdvance) {
    const Ink ink = inkOf(drawWith(18, FW_BOLD, "H"));
    EXPECT_EQ(ink.bottom, 20);
    EXPECT_GE(ink.top - ink.bottom + 1, 10);
    EXPECT_LE(ink.top - ink.bottom + 1, 15);
    EXPECT_GE(ink.left, 8);
    EXPECT_LE(ink.left, 10);
    EXPECT_LT(inkOf(drawWith(18, FW_BOLD, "g")).bottom, 20);
    EXPECT_GT(inkOf(drawWith(18, FW_BOLD, "aeae")).pixels,
              inkOf(drawWith(18, FW_NORMAL, "aeae")).pixels * 5 / 4);
    EXPECT_EQ(inkOf(drawWith(18, FW_BOLD, "   ")).pixels, 0);
    const Ink close = inkOf(drawWith(18, FW_BOLD, "II"));
    const Ink apart = inkOf(drawWith(18, FW_BOLD, "I I"));
    EXPECT_GT(apart.right - apart.left, close.right - close.left + 2);
    EXPECT_EQ(apart.pixels, close.pixels);
}

// The font is made, selected, used and deleted, the device context's own put back. Without a
// device context or a font there are no lists; when only the bitmaps fail, the range is still
// reserved and draws nothing.
TEST_F(FontBitmapsTest, BuildFontListsPutsBackTheContextsFontAndSurvivesFailures) {
    const HDC dc = wglGetCurrentDC();
    const HFONT before = dc->font;
    unsigned int lists = KtTDraw::buildFontLists(dc);
    ASSERT_NE(lists, 0u);
    EXPECT_EQ(dc->font, before);
    EXPECT_EQ(sdk::calls(),
              (std::vector<std::string>{"wglGetCurrentDC", "CreateFontA", "SelectObject",
                                        "wglUseFontBitmapsW", "SelectObject", "DeleteObject"}));
    EXPECT_TRUE(glIsList(lists + 95));
    KtTDraw::deleteFontLists(lists);
    EXPECT_FALSE(glIsList(lists));

    EXPECT_EQ(KtTDraw::buildFontLists(nullptr), 0u);
    sdk::failCall("CreateFontA", E_FAIL);
    EXPECT_EQ(KtTDraw::buildFontLists(dc), 0u);
    sdk::failCall("wglUseFontBitmapsW", E_FAIL);
    lists = KtTDraw::buildFontLists(dc);
    ASSERT_NE(lists, 0u);
    context.clear(kBlack);
    KtTDraw::setFontLists(lists);
    KtTDraw::drawLabelText("Pattix", 8, 20);
    EXPECT_EQ(context.countDifferent(kBlack), 0);
    KtTDraw::deleteFontLists(lists);
}

}  // namespace
}  // namespace pattix

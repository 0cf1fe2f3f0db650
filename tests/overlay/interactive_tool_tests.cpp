// The viewer tool in a headless viewer: its geometry from the project, its drawing pass on an
// EGL pbuffer surface, its pen routing, links and notifications.
#include "plugin/overlay/interactive_tool.hpp"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "sdk/host/project.hpp"
#include "sdk/platform/call_log.hpp"
#include "tests/overlay/gl_context.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

constexpr test::Rgb kGrey{153, 153, 153};
constexpr int kSize = 64;
constexpr int kLayer = KtTInteract::kOverlayLayer;
const double kNan = std::nan("");

// A tool the test owns one reference to.
struct ToolRef {
    KtTInteract* tool = new KtTInteract();
    ~ToolRef() { tool->Release(); }
    KtTInteract* operator->() const { return tool; }
};

// The project frame; a size that is not a number is left out, so that reading it fails.
void setProject(double userX, double userY, double worldY) {
    sdk::host::clearProjectValues();
    for (auto [name, value] : {std::pair{sdk::host::kFrameUserSizeX, userX},
                               {sdk::host::kFrameUserSizeY, userY},
                               {sdk::host::kFrameWorldSizeX, userX},
                               {sdk::host::kFrameWorldSizeY, worldY}}) {
        if (!std::isnan(value)) sdk::host::setProjectValue(name, value);
    }
}

class ToolTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok()) << context.error();
        context.clear(kGrey);
        setProject(720, 486, 486);
        sdk::resetCallLog();
        surface.info = {kSize, kSize, 0, 0, kSize, kSize};
        // A control drawing a red square over frame pixels 10 to 20, never picked.
        red.onDraw = [] {
            KtTDraw::setColour({1, 0, 0});
            KtTDraw::drawRect(10, 10, 20, 20);
        };
        red.setState(KtTObject::kVisible);
    }
    void TearDown() override {
        context.makeCurrent();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        sdk::resetCallLog();
    }
    int redPixels() const {
        const auto pixels = context.readAll();
        return static_cast<int>(std::count(pixels.begin(), pixels.end(), test::Rgb{255, 0, 0}));
    }

    test::OffscreenContext context{kSize, kSize};
    sdk::host::ViewerSurface surface{[this] { return context.makeCurrent(), true; }};
    test::Probe red{"red"};
};

// W and H are the frame in pixels and s the world units per pixel; unreadable, zero or absurd
// sizes give a usable frame with s = 1 instead of a division by zero.
TEST_F(ToolTest, FrameGeometryComesFromTheProject) {
    struct Case {
        double userX, userY, worldY;
        std::int32_t w, h;
        float s;
    };
    const Case cases[] = {
        {720, 486, 486, 720, 486, 1.0f},             // NTSC, square world
        {720, 486, 972, 360, 486, 2.0f},             // world twice the user height
        {kNan, kNan, kNan, 0, 0, 1.0f},              // nothing readable
        {720, 486, kNan, 720, 486, 1.0f},            // world height unreadable
        {720, 486, 0, 720, 486, 1.0f},               // world height 0
        {720, 0, 486, 720, 0, 1.0f},                 // user height 0
        {-720, 1e300, 1e-300, 0, 2147483647, 1.0f},  // absurd sizes
    };
    for (const Case& c : cases) {
        setProject(c.userX, c.userY, c.worldY);
        ToolRef tool;
        SCOPED_TRACE(c.w);
        EXPECT_EQ(tool->m_nFrameWidth, c.w);
        EXPECT_EQ(tool->m_nFrameHeight, c.h);
        EXPECT_EQ(tool->m_fPixelScale, c.s);
        EXPECT_EQ(tool->m_FrameCentre.m_Centre.y, c.h / 2.0f);
        EXPECT_EQ(tool->m_SrcCentre.m_Centre.x, c.w / 2.0f);
        EXPECT_EQ(tool->m_SrcRect.h, static_cast<float>(c.h));
    }
}

// Frame pixels are scaled by s into world units and the visible region maps onto a viewport
// one pixel narrower and lower than the surface. Whatever happens, the base's answer comes
// back, and a surface that cannot be drawn on gets no pixel and no OpenGL error.
TEST_F(ToolTest, DrawingPassMapsFramePixelsThroughTheVisibleRegion) {
    struct Case {
        const char* what;
        double worldY;  // with a user height of 486
        VWSurfaceInfo view;
        bool visible, beginFails;
        int redCount;
    };
    const Case cases[] = {
        {"one to one", 486, {kSize, kSize, 0, 0, kSize, kSize}, true, false, 10 * 10},
        {"s = 2", 972, {kSize, kSize, 0, 0, kSize, kSize}, true, false, 19 * 19},
        {"zoomed out, panned", 486, {kSize, kSize, -10, -20, 128, 128}, true, false, 5 * 5},
        {"hidden", 486, {kSize, kSize, 0, 0, kSize, kSize}, false, false, 0},
        {"begin fails", 486, {kSize, kSize, 0, 0, kSize, kSize}, true, true, 0},
        {"no pixels", 486, {0, 0, 0, 0, kSize, kSize}, true, false, 0},
        {"empty region", 486, {kSize, kSize, 5, 5, 0, kSize}, true, false, 0},
        {"region not a number", 486, {kSize, kSize, kNan, 0, kSize, kSize}, true, false, 0},
        {"endless region", 486, {kSize, kSize, 0, 0, 1e308, 1e308}, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setProject(720, 486, c.worldY);
        ToolRef tool;
        tool->addObject(&red);
        tool->SetOverlayVisible(c.visible);
        context.clear(kGrey);
        surface.info = c.view;
        sdk::resetCallLog();
        sdk::failCall("CDSInteractiveTool::OnRender", E_ABORT);
        if (c.beginFails) sdk::failCall("vwSurfaceBeginRenderOpenGL", E_FAIL);
        EXPECT_EQ(tool->OnRender(&surface), E_ABORT);
        EXPECT_EQ(redPixels(), c.redCount);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    ToolRef tool;
    sdk::clearCalls();
    EXPECT_EQ(tool->OnRender(nullptr), E_POINTER);
    EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::OnRender"), 0u);
}

// Matrices and viewport come back through the host's surface bracket, the rest through the
// tool's attribute push and pop.
TEST_F(ToolTest, DrawingPassLeavesTheGlStateAsItFoundIt) {
    const auto read = [] {
        std::array<GLdouble, 16 + 16 + 4 + 4 + 4> s{};
        glGetDoublev(GL_PROJECTION_MATRIX, &s[0]);
        glGetDoublev(GL_MODELVIEW_MATRIX, &s[16]);
        glGetDoublev(GL_VIEWPORT, &s[32]);
        glGetDoublev(GL_CURRENT_COLOR, &s[36]);
        glGetDoublev(GL_MATRIX_MODE, &s[40]);
        glGetDoublev(GL_SHADE_MODEL, &s[41]);
        s[42] = glIsEnabled(GL_LINE_STIPPLE);
        return s;
    };
    ToolRef tool;
    tool->addObject(&red);
    glTranslatef(3, 4, 0);
    glMatrixMode(GL_PROJECTION);
    glViewport(2, 3, 50, 40);
    glShadeModel(GL_SMOOTH);
    glColor3f(0.5f, 0.25f, 0.125f);
    const auto before = read();
    ASSERT_EQ(tool->OnRender(&surface), S_OK);
    EXPECT_GT(redPixels(), 0);
    EXPECT_EQ(read(), before);
}

TEST_F(ToolTest, FontListsAreBuiltOnceAndDeletedWithTheTool) {
    auto* tool = new KtTInteract();
    sdk::failCall("CreateFontA", E_FAIL);
    for (int pass = 0; pass < 3; ++pass) ASSERT_EQ(tool->OnRender(&surface), S_OK);
    EXPECT_EQ(sdk::countCalls("CreateFontA"), 2u) << "a failed font is tried again, then kept";
    const unsigned int lists = tool->m_nFontLists;
    ASSERT_NE(lists, 0u);
    EXPECT_TRUE(glIsList(lists));
    tool->Release();
    EXPECT_FALSE(glIsList(lists));
    EXPECT_EQ(KtTDraw::fontLists(), 0u);
}

// With s = 2 a pen at world (100, 60) reaches the manager at frame pixel (50, 30). While the
// overlay shows, presses and releases of button 1 and every move go to the manager and the tool
// answers with the interaction; everything else, and a pen with no finite place in frame
// pixels, goes to the host's own handling.
TEST_F(ToolTest, PenEventsReachTheManagerInFramePixelsOrTheHost) {
    // Shown or hidden (+ or -), down, move or up, the button, where the pen is (at x = 100, or
    // n: not a number, h: 1e300), then the handler that answers.
    // clang-format off
    const std::string cases[] = {"+D1 OnBeginInteraction", "+D2 OnPenDown", "+M2 OnDoInteraction",
        "+U1 TerminateInteraction", "+U3 OnPenUp", "-D1 OnPenDown", "-M1 OnPenMove", "-U1 OnPenUp",
        "+D1n OnPenDown", "+M1h OnPenMove"};
    // clang-format on
    setProject(720, 486, 972);
    for (const std::string& c : cases) {
        SCOPED_TRACE(c);
        ToolRef tool;
        tool->SetOverlayVisible(c[0] == '+');
        const VWPenEvent event{c[2] - '0', c[3] == 'n' ? kNan : c[3] == 'h' ? 1e300 : 100, 60.0};
        const std::string answeredBy = c.substr(c.find(' ') + 1);
        sdk::resetCallLog();
        sdk::failCall("CDSInteractiveTool::" + answeredBy, E_ABORT);
        const HRESULT hr = c[1] == 'D'   ? tool->OnPenDown(&event)
                           : c[1] == 'M' ? tool->OnPenMove(&event)
                                         : tool->OnPenUp(&event);
        EXPECT_EQ(hr, E_ABORT) << "answered by the right handler";
        const bool routed = answeredBy.find("Pen") == std::string::npos;
        EXPECT_EQ(tool->m_Pen.x, routed ? 50.0f : 0.0f);
        EXPECT_EQ(tool->m_Pen.y, routed ? 30.0f : 0.0f);
    }
}

TEST_F(ToolTest, ItsOwnControlsDrawNothingAndCatchNoPen) {
    setProject(kSize, 48, 48);
    ToolRef tool;
    sdk::host::Viewer viewer(kSize, kSize);
    ASSERT_EQ(viewer.linkTool(tool.tool, tool.tool), S_OK);
    ASSERT_EQ(viewer.render(surface), S_OK);
    EXPECT_EQ(context.countDifferent(kGrey), 0);
    // Both centres lie at (32, 24): a press there takes nothing and asks for no redraw.
    EXPECT_EQ(viewer.penDown({1, 32, 24}), S_OK) << "the tool still begins an interaction";
    EXPECT_EQ(tool->m_pHit, nullptr);
    EXPECT_FALSE(viewer.needsRedraw());
    viewer.unlinkTool(tool.tool);
}

// A link that fails while an earlier one stands leaves the tool unlinked and reports the
// failure as it came.
TEST_F(ToolTest, FailedLinksAreUndone) {
    ToolRef tool;
    sdk::host::Viewer viewer(kSize, kSize), other(kSize, kSize);
    ASSERT_EQ(tool->OnLinkToOperator(tool.tool), S_OK);
    ASSERT_EQ(tool->OnLinkToViewer(&viewer), S_OK);
    sdk::failCall("CDSInteractiveTool::OnLinkToViewer", E_ACCESSDENIED);
    EXPECT_EQ(tool->OnLinkToViewer(&other), E_ACCESSDENIED);
    EXPECT_EQ(tool->GetViewer(), nullptr);
    sdk::failCall("CDSInteractiveTool::OnLinkToOperator", E_ACCESSDENIED);
    EXPECT_EQ(tool->OnLinkToOperator(tool.tool), E_ACCESSDENIED);
    EXPECT_EQ(tool->GetOperator(), nullptr);
}

struct Listener : KtTDsObject {
    explicit Listener(int redraw) : answer(redraw) {}
    int propertyChanged(REFGUID, const VARIANT*) override { return ++asked, answer; }
    void timeChanged(double time) override { told = time; }
    int answer, asked = 0;
    double told = -1.0;
};

// Each change that can alter the picture asks the viewer once for the tool's layer: a time
// change (once there is an operator), hiding or showing the overlay, and a property change that
// some listener says needs it.
TEST_F(ToolTest, ChangesReachTheListenersAndRedrawTheLayerOnce) {
    ToolRef tool;
    sdk::host::Viewer viewer(kSize, kSize);
    Listener quiet(0), loud(1);
    tool->m_Listeners.append(&quiet);
    tool->m_Listeners.append(&loud);
    EXPECT_EQ(tool->OnOnTimeChange(2.5), S_OK);
    EXPECT_EQ(quiet.told, -1.0) << "no operator yet: time passes the tool by";
    ASSERT_EQ(viewer.linkTool(tool.tool, tool.tool), S_OK);
    viewer.render(surface);
    viewer.timeChanged(2.5);
    EXPECT_EQ(quiet.told + loud.told, 5.0);
    EXPECT_EQ(viewer.pendingRedraws(kLayer), 1);
    tool->SetOverlayVisible(false);
    EXPECT_EQ(viewer.pendingRedraws(kLayer), 2);
    tool->SetOverlayVisible(true);
    EXPECT_EQ(viewer.pendingRedraws(kLayer), 3);
    viewer.propertyChanged(GUID{}, nullptr, nullptr);
    EXPECT_EQ(quiet.asked + loud.asked, 2) << "every listener is asked";
    EXPECT_EQ(viewer.pendingRedraws(kLayer), 4);
    tool->m_Listeners.remove(&loud);
    viewer.propertyChanged(GUID{}, nullptr, nullptr);
    EXPECT_EQ(viewer.pendingRedraws(kLayer), 4);
    tool->m_Listeners.clear();
    viewer.unlinkTool(tool.tool);
}

}  // namespace
}  // namespace pattix

// The viewer tool in a headless viewer: its geometry from the project, its drawing pass on an
// EGL pbuffer surface, its pen routing, links and notifications.
#include "plugin/overlay/interactive_tool.hpp"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "sdk/host/project.hpp"
#include "sdk/platform/call_log.hpp"
#include "tests/overlay/gl_context.hpp"
#include "tests/overlay/probe.hpp"

namespace pattix {
namespace {

using test::Rgb;

constexpr Rgb kGrey{153, 153, 153};
constexpr Rgb kRed{255, 0, 0};
constexpr int kSize = 64;

// A tool the test owns one reference to.
struct ToolRef {
    KtTInteract* tool = new KtTInteract();
    ToolRef() = default;
    ToolRef(const ToolRef&) = delete;
    ~ToolRef() {
        if (tool != nullptr)
            tool->Release();
    }
    KtTInteract* operator->() const { return tool; }
};

// Sets the project frame; nullopt leaves a value out, so that reading it fails.
void setProject(std::optional<double> userX, std::optional<double> userY,
                std::optional<double> worldY) {
    sdk::host::clearProjectValues();
    const std::pair<const wchar_t*, std::optional<double>> values[] = {
        {sdk::host::kFrameUserSizeX, userX},
        {sdk::host::kFrameUserSizeY, userY},
        {sdk::host::kFrameWorldSizeX, userX},
        {sdk::host::kFrameWorldSizeY, worldY}};
    for (const auto& [name, value] : values) {
        if (value)
            sdk::host::setProjectValue(name, *value);
    }
}

class ToolTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok()) << context.error();
        context.clear(kGrey);
        setProject(720, 486, 486);
        sdk::resetCallLog();
        surface.info = {kSize, kSize, 0.0, 0.0, kSize, kSize};
    }
    void TearDown() override {
        context.makeCurrent();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        sdk::resetCallLog();
    }

    // A control drawing a red square over frame pixels 10 to 20.
    void addRedSquare(KtTInteract& tool) {
        red.onDraw = [] {
            KtTDraw::setColour({1, 0, 0});
            KtTDraw::drawRect(10, 10, 20, 20);
        };
        red.alwaysHit = false;
        red.setState(KtTObject::kVisible);  // drawn, never picked
        tool.addObject(&red);
    }
    int redPixels() const {
        int n = 0;
        for (const Rgb& p : context.readAll())
            n += p == kRed ? 1 : 0;
        return n;
    }

    test::OffscreenContext context{kSize, kSize};
    sdk::host::ViewerSurface surface{[this] {
        context.makeCurrent();
        return true;
    }};
    test::Probe red{"red"};
};

// --- geometry ---------------------------------------------------------------------------------

// W and H are the frame in pixels and s the world units per pixel; unreadable or zero sizes give
// a usable frame with s = 1 instead of a division by zero.
TEST_F(ToolTest, FrameGeometryComesFromTheProject) {
    struct Case {
        std::optional<double> userX, userY, worldY;
        std::int32_t w, h;
        float s;
    };
    const Case cases[] = {
        {720, 486, 486, 720, 486, 1.0f},                  // NTSC, square world
        {720, 486, 972, 360, 486, 2.0f},                  // world twice the user height
        {std::nullopt, std::nullopt, std::nullopt, 0, 0, 1.0f},  // nothing readable
        {720, 486, std::nullopt, 720, 486, 1.0f},         // world height unreadable
        {720, 486, 0, 720, 486, 1.0f},                    // world height 0
        {720, 0, 486, 720, 0, 1.0f},                      // user height 0
        {-720, 1e300, 1e-300, 0, 2147483647, 1.0f},       // nonsense sizes
    };
    for (const Case& c : cases) {
        setProject(c.userX, c.userY, c.worldY);
        ToolRef tool;
        SCOPED_TRACE(testing::Message() << "frame " << c.w << " x " << c.h);
        EXPECT_EQ(tool->m_nFrameWidth, c.w);
        EXPECT_EQ(tool->m_nFrameHeight, c.h);
        EXPECT_EQ(tool->m_fPixelScale, c.s);
        for (const KtT2DAxisGroup* axis : {&tool->m_FrameCentre, &tool->m_SrcCentre}) {
            EXPECT_EQ(axis->m_Centre.x, static_cast<float>(c.w) / 2);
            EXPECT_EQ(axis->m_Centre.y, static_cast<float>(c.h) / 2);
        }
        EXPECT_EQ(tool->m_SrcRect.w, static_cast<float>(c.w));
        EXPECT_EQ(tool->m_SrcRect.h, static_cast<float>(c.h));
    }
}

// --- drawing ----------------------------------------------------------------------------------

// Frame pixels are scaled by s into world units, and the visible region maps onto the
// viewport, which the pass makes one pixel narrower and lower than the surface.
TEST_F(ToolTest, DrawingPassMapsFramePixelsThroughTheVisibleRegion) {
    struct Case {
        double worldY;  // with a user height of 486
        VWSurfaceInfo view;
        bool visible;
        std::array<int, 2> inside, outside;
    };
    const Case cases[] = {
        {486, {kSize, kSize, 0, 0, kSize, kSize}, true, {15, 15}, {22, 22}},
        {972, {kSize, kSize, 0, 0, kSize, kSize}, true, {30, 30}, {39, 39}},  // 40 x 63 / 64
        {486, {kSize, kSize, -10, -20, 128, 128}, true, {12, 17}, {15, 15}},
        {486, {kSize, kSize, 0, 0, kSize, kSize}, false, {15, 15}, {22, 22}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "world height " << c.worldY << ", left " << c.view.left
                                        << (c.visible ? "" : ", hidden"));
        setProject(720, 486, c.worldY);
        ToolRef tool;
        addRedSquare(*tool.tool);
        tool->SetOverlayVisible(c.visible);
        context.clear(kGrey);
        surface.info = c.view;
        sdk::clearCalls();
        EXPECT_EQ(tool->OnRender(&surface), S_OK);
        EXPECT_EQ(context.pixel(c.inside[0], c.inside[1]), c.visible ? kRed : kGrey);
        EXPECT_EQ(context.pixel(c.outside[0], c.outside[1]), kGrey);
        EXPECT_EQ(sdk::countCalls("vwSurfaceBeginRenderOpenGL"), c.visible ? 1u : 0u);
        EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::OnRender"), 1u);
    }
}

TEST_F(ToolTest, ItsOwnControlsDrawNothingAndCatchNoPen) {
    setProject(kSize, 48, 48);
    ToolRef tool;
    sdk::host::Viewer viewer(kSize, kSize);
    IUnknown* op = tool.tool;  // any object will do as the operator
    ASSERT_EQ(viewer.linkTool(tool.tool, op), S_OK);
    ASSERT_EQ(viewer.render(surface), S_OK);
    EXPECT_EQ(context.countDifferent(kGrey), 0);

    // Both centres lie at (32, 24): a press there takes nothing.
    EXPECT_EQ(viewer.penDown({1, 32, 24}), S_OK) << "the tool still begins an interaction";
    EXPECT_EQ(tool->m_pHit, nullptr);
    EXPECT_EQ(tool->m_pCurrent, nullptr);
    EXPECT_FALSE(viewer.needsRedraw());
    viewer.unlinkTool(tool.tool);
}

struct GlState {
    GLint matrixMode, viewport[4], shadeModel, modelviewDepth, stipple;
    GLfloat clearColour[4], colour[4];
    GLdouble projection[16], modelview[16];

    static GlState read() {
        GlState s{};
        glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
        glGetIntegerv(GL_VIEWPORT, s.viewport);
        glGetIntegerv(GL_SHADE_MODEL, &s.shadeModel);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelviewDepth);
        s.stipple = glIsEnabled(GL_LINE_STIPPLE);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColour);
        glGetFloatv(GL_CURRENT_COLOR, s.colour);
        glGetDoublev(GL_PROJECTION_MATRIX, s.projection);
        glGetDoublev(GL_MODELVIEW_MATRIX, s.modelview);
        return s;
    }
    bool operator==(const GlState& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

TEST_F(ToolTest, DrawingPassLeavesTheGlStateAsItFoundIt) {
    ToolRef tool;
    addRedSquare(*tool.tool);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 4, 0);
    glMatrixMode(GL_PROJECTION);
    glViewport(2, 3, 50, 40);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glColor3f(0.5f, 0.25f, 0.125f);
    const GlState before = GlState::read();
    ASSERT_EQ(tool->OnRender(&surface), S_OK);
    EXPECT_GT(redPixels(), 0);
    EXPECT_TRUE(GlState::read() == before);
}

// Whatever the surface, the base's answer comes back, and a surface that cannot be drawn on
// gets nothing: no OpenGL error and no pixel.
TEST_F(ToolTest, SurfacesThatCannotBeDrawnOn) {
    struct Case {
        const char* what;
        bool nullSurface;
        bool beginFails;
        VWSurfaceInfo view;
        HRESULT result;
        std::size_t baseCalls;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"null surface", true, false, {kSize, kSize, 0, 0, kSize, kSize}, E_POINTER, 0},
        {"begin fails", false, true, {kSize, kSize, 0, 0, kSize, kSize}, E_ABORT, 1},
        {"no pixels", false, false, {0, 0, 0, 0, kSize, kSize}, E_ABORT, 1},
        {"empty region", false, false, {kSize, kSize, 5, 5, 0, kSize}, E_ABORT, 1},
        {"region not a number", false, false, {kSize, kSize, nan, 0, kSize, kSize}, E_ABORT, 1},
        {"endless region", false, false, {kSize, kSize, 0, 0, 1e308, 1e308}, E_ABORT, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ToolRef tool;
        addRedSquare(*tool.tool);
        surface.info = c.view;
        sdk::resetCallLog();
        sdk::failCall("CDSInteractiveTool::OnRender", E_ABORT);
        if (c.beginFails)
            sdk::failCall("vwSurfaceBeginRenderOpenGL", E_FAIL);
        EXPECT_EQ(tool->OnRender(c.nullSurface ? nullptr : &surface), c.result);
        EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::OnRender"), c.baseCalls);
        EXPECT_EQ(sdk::countCalls("vwSurfaceEndRenderOpenGL"),
                  c.nullSurface || c.beginFails ? 0u : 1u);
        EXPECT_EQ(redPixels(), 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_TRUE(std::isfinite(tool->m_PickTolerance.x));
    }
}

TEST_F(ToolTest, FontListsAreBuiltOnceAndDeletedWithTheTool) {
    auto* tool = new KtTInteract();
    sdk::failCall("CreateFontA", E_FAIL);
    ASSERT_EQ(tool->OnRender(&surface), S_OK);
    EXPECT_EQ(tool->m_nFontLists, 0u) << "a font that cannot be made leaves no lists";
    ASSERT_EQ(tool->OnRender(&surface), S_OK);
    ASSERT_EQ(tool->OnRender(&surface), S_OK);
    EXPECT_EQ(sdk::countCalls("CreateFontA"), 2u) << "tried again, then built once";
    const unsigned int lists = tool->m_nFontLists;
    ASSERT_NE(lists, 0u);
    EXPECT_EQ(KtTDraw::fontLists(), lists);
    EXPECT_TRUE(glIsList(lists));
    tool->Release();
    EXPECT_FALSE(glIsList(lists));
    EXPECT_EQ(KtTDraw::fontLists(), 0u);
}

// --- the pen ----------------------------------------------------------------------------------

// With s = 2 a pen at world (100, 60) reaches the manager at frame pixel (50, 30). While the
// overlay shows, presses and releases of button 1 and every move go to the manager, and the
// tool answers with the interaction; everything else is the host's.
TEST_F(ToolTest, PenEventsReachTheManagerInFramePixelsOrTheHost) {
    enum Type { Down, Move, Up };
    struct Case {
        bool visible;
        Type type;
        LONG button;
        const char* answeredBy;  // the host call whose answer comes back
    };
    const Case cases[] = {
        {true, Down, 1, "CDSInteractiveTool::OnBeginInteraction"},
        {true, Down, 2, "CDSInteractiveTool::OnPenDown"},
        {true, Move, 0, "CDSInteractiveTool::OnDoInteraction"},
        {true, Move, 2, "CDSInteractiveTool::OnDoInteraction"},
        {true, Up, 1, "CDSInteractiveTool::TerminateInteraction"},
        {true, Up, 3, "CDSInteractiveTool::OnPenUp"},
        {false, Down, 1, "CDSInteractiveTool::OnPenDown"},
        {false, Move, 1, "CDSInteractiveTool::OnPenMove"},
        {false, Up, 1, "CDSInteractiveTool::OnPenUp"},
    };
    const char* const kAnswers[] = {
        "CDSInteractiveTool::OnBeginInteraction", "CDSInteractiveTool::OnDoInteraction",
        "CDSInteractiveTool::TerminateInteraction", "CDSInteractiveTool::OnPenDown",
        "CDSInteractiveTool::OnPenMove", "CDSInteractiveTool::OnPenUp"};
    setProject(720, 486, 972);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.answeredBy << " for button " << c.button);
        ToolRef tool;
        tool->SetOverlayVisible(c.visible);
        const VWPenEvent event{c.button, 100.0, 60.0};
        sdk::resetCallLog();
        sdk::failCall(c.answeredBy, E_ABORT);
        const HRESULT hr = c.type == Down ? tool->OnPenDown(&event)
                           : c.type == Move ? tool->OnPenMove(&event)
                                            : tool->OnPenUp(&event);
        EXPECT_EQ(hr, E_ABORT);
        std::size_t answers = 0;
        for (const char* call : kAnswers)
            answers += sdk::countCalls(call);
        EXPECT_EQ(answers, 1u) << "one handler answers";
        const bool routed = std::string(c.answeredBy).find("Pen") == std::string::npos;
        EXPECT_EQ(tool->m_Pen.x, routed ? 50.0f : 0.0f);
        EXPECT_EQ(tool->m_Pen.y, routed ? 30.0f : 0.0f);
    }
}

// A position with no finite place in frame pixels never reaches the manager.
TEST_F(ToolTest, PenPositionsOutsideFloatRangeGoToTheHost) {
    ToolRef tool;
    for (const VWPenEvent event : {VWPenEvent{1, std::nan(""), 0}, VWPenEvent{1, 0, 1e300}}) {
        sdk::clearCalls();
        EXPECT_EQ(tool->OnPenDown(&event), S_FALSE);
        EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::OnPenDown"), 1u);
        EXPECT_EQ(tool->m_Pen.x, 0.0f);
        EXPECT_EQ(tool->m_Pen.y, 0.0f);
    }
}

// --- links and notifications --------------------------------------------------------------------

TEST_F(ToolTest, LinkingRedrawsTheLayerAndUnlinkingTheWholeWindow) {
    ToolRef tool;
    sdk::host::Viewer viewer(kSize, kSize);
    ASSERT_EQ(viewer.linkTool(tool.tool, tool.tool), S_OK);
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 1);
    tool->SetOverlayVisible(false);
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 2);
    EXPECT_EQ(viewer.window()->invalidations, 0);
    ASSERT_EQ(viewer.unlinkTool(tool.tool), S_OK);
    EXPECT_EQ(viewer.window()->invalidations, 1);
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 3);
    EXPECT_EQ(tool->GetViewer(), nullptr);
    EXPECT_EQ(tool->GetOperator(), nullptr);
}

// A link that fails while an earlier one stands leaves the tool unlinked, and the failure is
// reported as it came.
TEST_F(ToolTest, AFailedLinkUndoesTheEarlierOne) {
    ToolRef tool;
    sdk::host::Viewer first(kSize, kSize), second(kSize, kSize);
    ASSERT_EQ(tool->OnLinkToOperator(tool.tool), S_OK);
    ASSERT_EQ(tool->OnLinkToViewer(&first), S_OK);
    sdk::failCall("CDSInteractiveTool::OnLinkToViewer", E_ACCESSDENIED);
    EXPECT_EQ(tool->OnLinkToViewer(&second), E_ACCESSDENIED);
    EXPECT_EQ(tool->GetViewer(), nullptr);
    sdk::failCall("CDSInteractiveTool::OnLinkToOperator", E_ACCESSDENIED);
    EXPECT_EQ(tool->OnLinkToOperator(tool.tool), E_ACCESSDENIED);
    EXPECT_EQ(tool->GetOperator(), nullptr);
    EXPECT_EQ(second.pendingRedraws(KtTInteract::kOverlayLayer), 0);
}

struct Listener : KtTDsObject {
    explicit Listener(int redraw) : answer(redraw) {}
    int propertyChanged(REFGUID, const VARIANT*) override { return ++asked, answer; }
    void timeChanged(double time) override { told = time; }
    int answer;
    int asked = 0;
    double told = -1.0;
};

TEST_F(ToolTest, TimeAndPropertyChangesReachTheListeners) {
    ToolRef tool;
    sdk::host::Viewer viewer(kSize, kSize);
    Listener quiet(0), loud(1);
    tool->m_Listeners.append(&quiet);
    tool->m_Listeners.append(&loud);

    // Before an operator is linked, time passes the tool by.
    EXPECT_EQ(tool->OnOnTimeChange(2.5), S_OK);
    EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::OnOnTimeChange"), 0u);
    EXPECT_EQ(quiet.told, -1.0);

    ASSERT_EQ(viewer.linkTool(tool.tool, tool.tool), S_OK);
    viewer.render(surface);
    viewer.timeChanged(2.5);
    EXPECT_EQ(quiet.told, 2.5);
    EXPECT_EQ(loud.told, 2.5);
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 1);

    viewer.propertyChanged(GUID{}, nullptr, nullptr);
    EXPECT_EQ(quiet.asked + loud.asked, 2) << "every listener is asked";
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 2) << "one redraw for both";
    tool->m_Listeners.remove(&loud);
    viewer.propertyChanged(GUID{}, nullptr, nullptr);
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 2);

    sdk::failCall("CDSInteractiveTool::OnPropertyChanged", E_ABORT);
    EXPECT_EQ(tool->OnPropertyChanged(GUID{}, nullptr, nullptr, nullptr, 0), E_ABORT);
    EXPECT_EQ(quiet.asked, 2) << "a failing base asks no listener";
    sdk::failCall("CDSInteractiveTool::OnOnTimeChange", E_ABORT);
    EXPECT_EQ(tool->OnOnTimeChange(7.0), E_ABORT);
    EXPECT_EQ(quiet.told, 2.5);
    tool->m_Listeners.clear();
    viewer.unlinkTool(tool.tool);
}

}  // namespace
}  // namespace pattix

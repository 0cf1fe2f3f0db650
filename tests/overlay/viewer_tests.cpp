// The host's viewer side: a viewer links tools, routes the pen, draws them and counts the
// redraws they ask for; the controller links pushed effect tools to the current viewer.
#include "sdk/host/viewer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/platform/call_log.hpp"

namespace pattix {
namespace {

using Journal = std::vector<std::string>;

struct FakeTool : CDSInteractiveTool {
    FakeTool(std::string toolName, Journal& log, HRESULT answer)
        : name(std::move(toolName)), journal(log), penAnswer(answer) {}
    HRESULT OnRender(sdk::host::ViewerSurface*) override {
        journal.push_back(name + ".render");
        return renderAnswer;
    }
    HRESULT OnPenDown(const VWPenEvent*) override {
        journal.push_back(name + ".down");
        return penAnswer;
    }
    ULONG references() {
        AddRef();
        return Release();
    }

    std::string name;
    Journal& journal;
    HRESULT penAnswer;
    HRESULT renderAnswer = S_OK;
};

class ViewerTest : public testing::Test {
  protected:
    void SetUp() override { sdk::resetCallLog(); }
    void TearDown() override {
        for (FakeTool* tool : {a, b}) {
            EXPECT_EQ(tool->references(), 1u) << tool->name << " kept by the viewer side";
            tool->Release();
        }
        sdk::resetCallLog();
    }

    Journal journal;
    FakeTool* a = new FakeTool("a", journal, S_OK);
    FakeTool* b = new FakeTool("b", journal, S_FALSE);
    IUnknown* inspected = a;  // any object will do
};

TEST_F(ViewerTest, PenGoesToTheLastLinkedToolFirstUntilOneTakesIt) {
    sdk::host::Viewer viewer(64, 64);
    viewer.setView({64, 64, -10, -20, 128, 128});
    const VWPenEvent corner = viewer.penAt(2, 0, 0);  // the top left corner of the window
    EXPECT_EQ(corner.button, 2);
    EXPECT_EQ(corner.x, -10.0);
    EXPECT_EQ(corner.y, 108.0);
    const VWPenEvent middle = viewer.penAt(1, 32, 64);
    EXPECT_EQ(middle.x, 54.0);
    EXPECT_EQ(middle.y, -20.0);

    ASSERT_EQ(viewer.linkTool(a, inspected), S_OK);
    ASSERT_EQ(viewer.linkTool(b, inspected), S_OK);
    EXPECT_EQ(viewer.linkTool(b, inspected), S_FALSE) << "linked once";
    EXPECT_EQ(viewer.penDown(middle), S_OK);
    EXPECT_EQ(journal, (Journal{"b.down", "a.down"}));
    journal.clear();
    b->penAnswer = E_ABORT;
    EXPECT_EQ(viewer.penDown(middle), E_ABORT) << "any answer but S_FALSE ends the round";
    EXPECT_EQ(journal, (Journal{"b.down"}));
    b->penAnswer = S_FALSE;
    ASSERT_EQ(viewer.unlinkTool(a), S_OK);
    EXPECT_EQ(viewer.unlinkTool(a), S_FALSE);
    journal.clear();
    EXPECT_EQ(viewer.penDown(middle), S_FALSE) << "no tool took it: the viewer's own";
    EXPECT_EQ(journal, (Journal{"b.down"}));
}

TEST_F(ViewerTest, RenderDrawsToolsInLinkOrderAndHonoursEveryRedraw) {
    sdk::host::Viewer viewer(64, 64);
    sdk::host::ViewerSurface surface([] { return true; });
    ASSERT_EQ(viewer.linkTool(a, inspected), S_OK);
    ASSERT_EQ(viewer.linkTool(b, inspected), S_OK);
    EXPECT_FALSE(viewer.needsRedraw());

    for (void (*ask)(FakeTool&) : {+[](FakeTool& t) { t.InvalidateLayer(1, nullptr); },
                                   +[](FakeTool& t) {
                                       InvalidateRect(t.GetViewerWindow(), nullptr, FALSE);
                                   }}) {
        ask(*b);
        EXPECT_TRUE(viewer.needsRedraw());
        journal.clear();
        a->renderAnswer = E_FAIL;
        EXPECT_EQ(viewer.render(surface), E_FAIL);
        EXPECT_EQ(journal, (Journal{"a.render", "b.render"})) << "a failure stops no tool";
        EXPECT_FALSE(viewer.needsRedraw());
        EXPECT_EQ(viewer.pendingRedraws(1), 0);
    }
    viewer.unlinkTool(a);
    viewer.unlinkTool(b);
}

TEST_F(ViewerTest, SurfacesMustBeMadeCurrentAndBracketed) {
    bool current = false;
    sdk::host::ViewerSurface surface([&] { return current; });
    VWSurfaceInfo info;
    EXPECT_EQ(vwSurfaceBeginRenderOpenGL(nullptr, &info), E_POINTER);
    EXPECT_EQ(vwSurfaceBeginRenderOpenGL(&surface, &info), E_FAIL);
    EXPECT_EQ(vwSurfaceEndRenderOpenGL(&surface), E_UNEXPECTED);
}

TEST_F(ViewerTest, ControllerLinksPushedEffectToolsToTheCurrentViewer) {
    auto viewer = std::make_unique<sdk::host::Viewer>(64, 64);
    sdk::host::setCurrentViewer(viewer.get());
    DWORD shown = 0, other = 0, refused = 0;
    ASSERT_EQ(VWControllerPushContext(VWCONTEXT_EFFECT_TOOL, a, inspected, nullptr, nullptr, 0.0,
                                      &shown),
              S_OK);
    EXPECT_TRUE(viewer->isLinked(a));
    EXPECT_EQ(a->GetOperator(), inspected);
    ASSERT_EQ(VWControllerPushContext(3, b, inspected, nullptr, nullptr, 0.0, &other), S_OK);
    EXPECT_FALSE(viewer->isLinked(b)) << "only effect tools are linked";

    // A tool the viewer refuses is not kept.
    ASSERT_EQ(VWControllerRemoveContext(other), S_OK);
    sdk::failCall("CDSInteractiveTool::OnLinkToViewer", E_ACCESSDENIED);
    EXPECT_EQ(VWControllerPushContext(VWCONTEXT_EFFECT_TOOL, b, inspected, nullptr, nullptr, 0.0,
                                      &refused),
              E_ACCESSDENIED);
    EXPECT_EQ(b->GetOperator(), nullptr);
    EXPECT_EQ(sdk::host::viewerContexts().size(), 1u);

    ASSERT_EQ(VWControllerRemoveContext(shown), S_OK);
    EXPECT_FALSE(viewer->isLinked(a));
    EXPECT_EQ(a->GetOperator(), nullptr);

    // A viewer that goes away unlinks its tools; their contexts stay.
    ASSERT_EQ(VWControllerPushContext(VWCONTEXT_EFFECT_TOOL, a, inspected, nullptr, nullptr, 0.0,
                                      &shown),
              S_OK);
    viewer.reset();
    EXPECT_EQ(sdk::host::currentViewer(), nullptr);
    EXPECT_EQ(a->GetViewer(), nullptr);
    ASSERT_EQ(sdk::host::viewerContexts().size(), 1u);
    EXPECT_EQ(sdk::host::viewerContexts()[0].viewer, nullptr);
    EXPECT_EQ(VWControllerRemoveContext(shown), S_OK);
}

}  // namespace
}  // namespace pattix

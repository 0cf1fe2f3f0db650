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
    ULONG references() { return AddRef(), Release(); }

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

// The pen goes to the last linked tool first, until one takes it; drawing goes first linked
// first, and honours every redraw asked so far.
TEST_F(ViewerTest, ToolsGetThePenLastLinkedFirstAndAreDrawnFirstLinkedFirst) {
    sdk::host::Viewer viewer(64, 64);
    viewer.setView({64, 64, -10, -20, 128, 128});
    const VWPenEvent middle = viewer.penAt(1, 32, 64);  // the middle of the bottom edge
    EXPECT_EQ(middle.x, 54.0);
    EXPECT_EQ(middle.y, -20.0);
    ASSERT_EQ(viewer.linkTool(a, inspected), S_OK);
    ASSERT_EQ(viewer.linkTool(b, inspected), S_OK);
    EXPECT_EQ(viewer.linkTool(b, inspected), S_FALSE) << "linked once";
    EXPECT_EQ(viewer.penDown(middle), S_OK);
    b->penAnswer = E_ABORT;
    EXPECT_EQ(viewer.penDown(middle), E_ABORT) << "any answer but S_FALSE ends the round";
    b->penAnswer = S_FALSE;

    sdk::host::ViewerSurface surface([] { return true; });
    b->InvalidateLayer(1, nullptr);
    InvalidateRect(b->GetViewerWindow(), nullptr, FALSE);
    EXPECT_TRUE(viewer.needsRedraw());
    a->renderAnswer = E_FAIL;
    EXPECT_EQ(viewer.render(surface), E_FAIL);
    EXPECT_FALSE(viewer.needsRedraw());
    EXPECT_EQ(journal, (Journal{"b.down", "a.down", "b.down", "a.render", "b.render"}));

    ASSERT_EQ(viewer.unlinkTool(b), S_OK);
    EXPECT_EQ(viewer.unlinkTool(b), S_FALSE);
    a->penAnswer = S_FALSE;
    EXPECT_EQ(viewer.penDown(middle), S_FALSE) << "no tool took it: the viewer's own";
    viewer.unlinkTool(a);

    VWSurfaceInfo info;
    EXPECT_EQ(vwSurfaceBeginRenderOpenGL(nullptr, &info), E_POINTER);
    sdk::host::ViewerSurface lost([] { return false; });
    EXPECT_EQ(vwSurfaceBeginRenderOpenGL(&lost, &info), E_FAIL);
    EXPECT_EQ(vwSurfaceEndRenderOpenGL(&lost), E_UNEXPECTED);
}

TEST_F(ViewerTest, ControllerLinksPushedEffectToolsToTheCurrentViewer) {
    auto viewer = std::make_unique<sdk::host::Viewer>(64, 64);
    sdk::host::setCurrentViewer(viewer.get());
    DWORD shown = 0, refused = 0;
    ASSERT_EQ(
        VWControllerPushContext(VWCONTEXT_EFFECT_TOOL, a, inspected, nullptr, nullptr, 0.0, &shown),
        S_OK);
    EXPECT_TRUE(viewer->isLinked(a));
    EXPECT_EQ(a->GetOperator(), inspected);

    // A tool the viewer refuses is not kept.
    sdk::failCall("CDSInteractiveTool::OnLinkToViewer", E_ACCESSDENIED);
    EXPECT_EQ(VWControllerPushContext(VWCONTEXT_EFFECT_TOOL, b, inspected, nullptr, nullptr, 0.0,
                                      &refused),
              E_ACCESSDENIED);
    EXPECT_EQ(b->GetOperator(), nullptr);

    // A viewer that goes away unlinks its tools; their contexts stay.
    viewer.reset();
    EXPECT_EQ(sdk::host::currentViewer(), nullptr);
    EXPECT_EQ(a->GetViewer(), nullptr);
    ASSERT_EQ(sdk::host::viewerContexts().size(), 1u);
    EXPECT_EQ(sdk::host::viewerContexts()[0].viewer, nullptr);
    EXPECT_EQ(VWControllerRemoveContext(shown), S_OK);
}

}  // namespace
}  // namespace pattix

// The effect as the host sees it: identity, information records, verification, copies and the
// overlay link.

#include <gtest/gtest.h>

#include "sdk/host/viewer.hpp"
#include "tests/support/effect_host.hpp"

namespace pattix {
namespace {

using namespace testing;

class EffectObject : public ::testing::Test {
protected:
    void SetUp() override {
        registeredModule();
        sdk::resetCallLog();
        sdk::host::setProjectFrame(720, 576);
    }
    void TearDown() override {
        sdk::resetCallLog();
        EXPECT_EQ(loadedModule().canUnloadNow(), S_OK) << "an effect or tool was leaked";
    }
};

TEST_F(EffectObject, IdentityAndTexts) {
    EffectRef effect = createEffect();
    ASSERT_TRUE(effect);
    WCHAR text[64];
    ASSERT_EQ(effect->GetName(text, 64), S_OK);
    EXPECT_STREQ(text, L"Pattix");
    EXPECT_STREQ(effect.object().m_EffectName, L"Pattix");
    ASSERT_EQ(effect->GetDescription(text, 64), S_OK);
    EXPECT_STREQ(text, L"Quillmere's Bars Generator");
    EXPECT_EQ(effect->GetName(nullptr, 64), E_POINTER);
    EXPECT_EQ(effect->GetName(text, 0), E_INVALIDARG);

    sdk::failCall("LoadStringW", E_FAIL);
    EXPECT_EQ(effect->GetDescription(text, 64), E_FAIL);

    HBITMAP bitmap = nullptr;
    ASSERT_EQ(effect->GetBitmap(&bitmap), S_OK);
    DeleteObject(bitmap);
    sdk::failCall("LoadBitmapW", E_FAIL);
    EXPECT_EQ(effect->GetBitmap(&bitmap), E_FAIL);

    CLSID clsid{};
    ASSERT_EQ(effect->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Bars);

    // Pages and tools reach the object itself through the class identifier.
    for (const IID* iid : {&CLSID_Bars, &IID_KtDsEffectObject}) {
        void* self = nullptr;
        ASSERT_EQ(effect->QueryInterface(*iid, &self), S_OK);
        EXPECT_EQ(self, static_cast<KtDsEffect*>(&effect.object()));
        EXPECT_EQ(effect->Release(), 1u) << "the query added a reference";
    }
}

TEST_F(EffectObject, SupportsExactlyTheTwoHostPixelFormats) {
    EffectRef effect = createEffect();
    EXPECT_EQ(effect->IsPixelFormatSupported(MFIF_RGBA_RAW_32), S_OK);
    EXPECT_EQ(effect->IsPixelFormatSupported(MFIF_RGBA_S2_14), S_OK);
    EXPECT_EQ(effect->IsPixelFormatSupported(GUID_NULL), S_FALSE);
    EXPECT_EQ(effect->IsPixelFormatSupported(DSCATEGORY_GENERATOR), S_FALSE);
}

TEST_F(EffectObject, InfoRecordNamesTheEffectAndChecksItsVersion) {
    EffectRef effect = createEffect();
    DSEffectInfo info{};
    ASSERT_EQ(effect->GetInfo(&info), S_OK);
    EXPECT_EQ(info.effectInterface, sdk::guid("0BC5A2F0-5C49-11CF-A04A-00A02418CFB9"));
    EXPECT_EQ(info.effectInterfaceEx, sdk::guid("0BC5A2F2-5C49-11CF-A04A-00A02418CFB9"));
    EXPECT_EQ(info.clsid, CLSID_Bars);

    DSEffectInfo old{};
    old.version = sdk::guid("5E3D73B1-D900-11CF-828E-00A0243F1012");
    EXPECT_EQ(effect->GetInfo(&old), E_INVALIDARG);
    EXPECT_EQ(sdk::countCalls("CDSImageEffect::GetInfo"), 2u) << "the base is asked first";

    sdk::failCall("CDSImageEffect::GetInfo", E_ACCESSDENIED);
    EXPECT_EQ(effect->GetInfo(&info), E_ACCESSDENIED);

    DSImageEffectInfo imageInfo{};
    imageInfo.version = sdk::guid("6024B980-B7F4-11D0-82D3-00A0243F1014");
    EXPECT_EQ(effect->GetImageEffectInfo(&imageInfo), E_INVALIDARG);
}

struct KindCase {
    const char* category;
    int kind;
    std::array<LONG, 10> words;  // bytes 36 to 72
};

class EffectKinds : public EffectObject, public ::testing::WithParamInterface<KindCase> {};

TEST_P(EffectKinds, CategoryDecidesKindAndRecordWords) {
    EffectRef effect = createEffect();
    DSImageEffectInfo info{};
    ASSERT_EQ(describe(effect, *sdk::parseGuid(GetParam().category), &info), S_OK);
    EXPECT_EQ(effect.object().m_EffectKind, GetParam().kind);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(info.words[i], GetParam().words[i]) << "word at byte " << 36 + 4 * i;
    }
}

std::string kindCaseName(const ::testing::TestParamInfo<KindCase>& param) {
    return "Kind" + std::to_string(param.param.kind) + "_" + std::to_string(param.index);
}

INSTANTIATE_TEST_SUITE_P(
    Categories, EffectKinds,
    ::testing::Values(
        KindCase{"AE0D7C31-95AA-11D0-B685-00A024191AE0", 1, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}},
        KindCase{"28610EB3-AECA-11D1-BFAD-0800368E7203", 1, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}},
        KindCase{"AE0D7C40-95AA-11D0-B685-00A024191AE0", 4, {0, 96, 8, 1, 0, 1, 0, 1, 0, 0x30A}},
        KindCase{"61054A81-9662-11D0-B685-00A024191AE0", 3, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}},
        KindCase{"61054A80-9662-11D0-B685-00A024191AE0", 5, {0, 0, 2, 1, 1, 0, 0, 0, 0, 0x31A}},
        KindCase{"AE0D7C33-95AA-11D0-B685-00A024191AE0", 2, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}},
        KindCase{"AE0D7C34-95AA-11D0-B685-00A024191AE0", 7, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}},
        KindCase{"95F7E8A0-8B84-11D1-94A3-00A0C911C625", 1, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}},
        KindCase{"00000000-0000-0000-0000-000000000001", 0, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}}),
    kindCaseName);

TEST_F(EffectObject, PagesAreHandedOverOnlyOnce) {
    EffectRef effect = createEffect();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(describe(effect), S_OK);
    const std::vector<CLSID> expected = {CLSID_BarsPPG, CLSID_HelpPPG};
    EXPECT_EQ(effect.host().PropertyPages(), expected);
    EXPECT_EQ(sdk::countCalls("CDSBasePropertyContainer::HasPropertyPage"), 2u);
    EXPECT_EQ(sdk::countCalls("CDSBasePropertyContainer::AddPropertyPage"), 2u);

    // Effects that take a pixel mask get no pages, and the chance does not come back.
    EffectRef masked = createEffect();
    ASSERT_EQ(describe(masked, *sdk::parseGuid("AE0D7C40-95AA-11D0-B685-00A024191AE0")), S_OK);
    ASSERT_EQ(describe(masked), S_OK);
    EXPECT_TRUE(masked.host().PropertyPages().empty());
}

TEST_F(EffectObject, VerifyAsksForTheImagesTheKindNeeds) {
    ImageRef output(8, 8, MFIF_RGBA_RAW_32);
    ImageRef input(8, 8, MFIF_RGBA_RAW_32);
    EffectRef effect = createEffect();
    ASSERT_EQ(describe(effect), S_OK);  // a generator: kind 3
    DSRenderData data;
    effect.host().SetRenderData(data);
    EXPECT_EQ(effect->Verify(), E_POINTER);
    data.output = output.image;
    effect.host().SetRenderData(data);
    EXPECT_EQ(effect->Verify(), S_OK);

    EffectRef filter = createEffect();
    ASSERT_EQ(describe(filter, *sdk::parseGuid("AE0D7C31-95AA-11D0-B685-00A024191AE0")), S_OK);
    filter.host().SetRenderData(data);
    EXPECT_EQ(filter->Verify(), E_POINTER) << "kind 1 needs its input";
    data.inputs[0] = input.image;
    filter.host().SetRenderData(data);
    EXPECT_EQ(filter->Verify(), S_OK);

    EffectRef transition = createEffect();
    ASSERT_EQ(describe(transition, *sdk::parseGuid("61054A80-9662-11D0-B685-00A024191AE0")), S_OK);
    transition.host().SetRenderData(data);
    EXPECT_EQ(transition->Verify(), E_POINTER) << "kind 5 needs its second input too";
    EffectRef masked = createEffect();
    ASSERT_EQ(describe(masked, *sdk::parseGuid("AE0D7C40-95AA-11D0-B685-00A024191AE0")), S_OK);
    masked.host().SetRenderData(data);
    EXPECT_EQ(masked->Verify(), E_POINTER) << "kind 4 needs the pixel mask too";
    data.inputs[1] = input.image;
    transition.host().SetRenderData(data);
    EXPECT_EQ(transition->Verify(), S_OK);

    sdk::failCall("CDSImageEffect::Verify", E_ACCESSDENIED);
    EXPECT_EQ(filter->Verify(), E_ACCESSDENIED);
}

TEST_F(EffectObject, CloneCopiesStateAndHasItsOwnIdentity) {
    EffectRef effect = createEffect();
    ASSERT_EQ(describe(effect), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternSmpteBars), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);

    IDSImageEffect* raw = nullptr;
    ASSERT_EQ(effect->Clone(IID_IDSImageEffect, reinterpret_cast<void**>(&raw)), S_OK);
    EffectRef copy(raw);
    EXPECT_NE(&copy.object(), &effect.object());
    EXPECT_EQ(copy.object().m_pCloneSource, &effect.object());
    EXPECT_EQ(copy.object().m_EffectKind, 3);
    EXPECT_EQ(getInt(copy, PARAM_PATTERN), kPatternSmpteBars);
    EXPECT_EQ(getInt(copy, PARAM_RAMP_DIRECTION), kDirectionVertical);
    EXPECT_EQ(copy.object().renderGeometry().outputFrame,
              effect.object().renderGeometry().outputFrame);

    EXPECT_EQ(effect->Clone(IID_IDSImageEffect, nullptr), E_POINTER);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(effect->Clone(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST_F(EffectObject, InitialGeometryComesFromTheProjectFrame) {
    sdk::host::setProjectFrame(720, 576, 1.0 * 720 / 576 * 2, 2.0);
    EffectRef effect = createEffect();
    const KtRenderGeometry geometry = effect.object().renderGeometry();
    EXPECT_FLOAT_EQ(geometry.outputFrame.w, 720.0f * 288.0f);
    EXPECT_FLOAT_EQ(geometry.outputFrame.h, 576.0f);
    EXPECT_EQ(geometry.sourceRect, geometry.outputFrame);

    sdk::host::clearProjectValues();
    EffectRef orphan = createEffect();
    EXPECT_EQ(orphan.object().renderGeometry().outputFrame, KtFrameRect{});
    EXPECT_EQ(orphan.object().renderGeometry().sourceRect, KtFrameRect{});

    sdk::host::setProjectFrame(720, 576, 720, 0.0);
    EffectRef flat = createEffect();
    EXPECT_EQ(flat.object().renderGeometry().outputFrame, (KtFrameRect{720, 576, 0, 0}))
        << "a world height of 0 gives no ratio, as if it could not be read";
}

// Opening pages pushes one tool, which the controller shows in the current viewer, inspecting
// the effect; closing the last page takes it out of the viewer again.
TEST_F(EffectObject, OverlayStaysInTheViewerWhileAnyPageHoldsIt) {
    sdk::host::Viewer viewer(720, 576);
    sdk::host::setCurrentViewer(&viewer);
    EffectRef effect = createEffect();
    Bars& bars = effect.object();
    IUnknown* inspected = effect.get();
    EXPECT_EQ(bars.pushOverlay(nullptr), E_POINTER);
    ASSERT_EQ(bars.pushOverlay(inspected), S_OK);
    ASSERT_EQ(bars.pushOverlay(inspected), S_OK);
    KtTInteract* tool = bars.overlayTool();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(sdk::countCalls("CoCreateInstance"), 1u) << "one tool for all pages";
    ASSERT_EQ(sdk::host::viewerContexts().size(), 1u);
    EXPECT_EQ(sdk::host::viewerContexts()[0].kind, 19);
    EXPECT_TRUE(viewer.isLinked(tool));
    EXPECT_EQ(tool->GetOperator(), inspected);
    EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer), 1);

    bars.popOverlay();
    EXPECT_NE(bars.overlayTool(), nullptr);
    EXPECT_EQ(viewer.toolCount(), 1u);
    bars.popOverlay();
    EXPECT_EQ(bars.overlayTool(), nullptr);
    EXPECT_TRUE(sdk::host::viewerContexts().empty());
    EXPECT_EQ(viewer.toolCount(), 0u);
    EXPECT_EQ(viewer.window()->invalidations, 1) << "the viewer is redrawn without the tool";
    sdk::host::setCurrentViewer(nullptr);
}

TEST_F(EffectObject, OverlayToolThatCannotBeMadeIsReported) {
    EffectRef effect = createEffect();
    sdk::failCall("CoCreateInstance", REGDB_E_CLASSNOTREG);
    EXPECT_EQ(effect.object().pushOverlay(effect.get()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(effect.object().overlayTool(), nullptr);
    EXPECT_TRUE(sdk::host::viewerContexts().empty());

    // A viewer that refuses the context still leaves the tool with the effect.
    sdk::failCall("VWControllerPushContext", E_FAIL);
    EXPECT_EQ(effect.object().pushOverlay(effect.get()), S_OK);
    EXPECT_NE(effect.object().overlayTool(), nullptr);
    // The effect's destructor drains the link, releasing the tool.
}

TEST_F(EffectObject, PixelMaskEffectsShowNoOverlay) {
    EffectRef effect = createEffect();
    ASSERT_EQ(describe(effect, *sdk::parseGuid("AE0D7C40-95AA-11D0-B685-00A024191AE0")), S_OK);
    EXPECT_EQ(effect.object().pushOverlay(effect.get()), S_OK);
    EXPECT_EQ(effect.object().overlayTool(), nullptr);
    EXPECT_EQ(sdk::countCalls("CoCreateInstance"), 0u);
}

}  // namespace
}  // namespace pattix

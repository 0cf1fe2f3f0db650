// The render of a frame through the host's Execute, in both host pixel formats.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <thread>

#include "tests/support/effect_host.hpp"

namespace pattix {
namespace {

using namespace testing;
using Pixel = std::array<int, 4>;

constexpr int kWidth = 720;
constexpr int kHeight = 576;

class Render : public ::testing::Test {
protected:
    void SetUp() override {
        registeredModule();
        sdk::resetCallLog();
        sdk::host::setProjectFrame(kWidth, kHeight);
        effect = createEffect();
        ASSERT_TRUE(effect);
        ASSERT_EQ(describe(effect), S_OK);
    }
    void TearDown() override { sdk::resetCallLog(); }

    EffectRef effect;
};

TEST_F(Render, UnknownPatternValues) {
    ImageRef image(16, 4, MFIF_RGBA_RAW_32);
    RenderSetup setup(image.image);
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, -1), S_OK);
    ASSERT_EQ(render(effect, setup), S_OK);
    for (int r = 0; r < 4; ++r) EXPECT_TRUE(image.rowIsZero(r)) << "no bar pattern: nothing drawn";

    // Above the last ramp: a ramp of no known kind, black with full alpha.
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, 42), S_OK);
    ASSERT_EQ(render(effect, setup), S_OK);
    EXPECT_EQ(image.pixel(2, 7), (Pixel{0, 0, 0, 255}));
}

TEST_F(Render, HideOverlayNeverChangesAPixel) {
    ImageRef shown(64, 32, MFIF_RGBA_S2_14);
    ImageRef hidden(64, 32, MFIF_RGBA_S2_14);
    RenderSetup first(shown.image);
    ASSERT_EQ(render(effect, first), S_OK);
    VARIANT hide;
    VariantInit(&hide);
    hide.vt = VT_BOOL;
    hide.boolVal = VARIANT_TRUE;
    ASSERT_EQ(effect.host().SetPlainProperty(PARAM_HIDE_OVERLAY, hide), S_OK);
    RenderSetup second(hidden.image);
    ASSERT_EQ(render(effect, second), S_OK);
    EXPECT_EQ(std::memcmp(shown->data(), hidden->data(), shown->sizeBytes()), 0);
}

// A host image that claims the format, size and buffer the test gives it.
struct ClaimedImage final : IDSImage {
    GUID format;
    int width, height;
    void* buffer;
    ClaimedImage(const GUID& f, int w, int h, void* b)
        : format(f), width(w), height(h), buffer(b) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT CheckAccess() override { return S_OK; }
    HRESULT GetSize(int* w, int* h) override { return *w = width, *h = height, S_OK; }
    HRESULT GetBuffer(void** b) override { return *b = buffer, S_OK; }
    HRESULT GetPixelFormat(GUID* f) override { return *f = format, S_OK; }
    HRESULT GetWorldSize(double* w, double* h) override { return *w = width, *h = height, S_OK; }
    HRESULT GetWorldOrigin(double* x, double* y) override { return *x = 0, *y = 0, S_OK; }
};

TEST_F(Render, HostRefusalsAndForeignFormats) {
    std::array<std::uint32_t, 16> pixels{};
    ClaimedImage foreign(sdk::guid("4D464946-0003-4A8B-9C3E-000000000000"), 4, 4, pixels.data());
    RenderSetup setup(&foreign);
    ASSERT_EQ(render(effect, setup), S_OK);
    for (std::uint32_t p : pixels) EXPECT_EQ(p, 0u);

    ImageRef image(8, 8, MFIF_RGBA_RAW_32);
    RenderSetup real(image.image);
    sdk::failCall("CDSImageEffect::PrepareData", E_ACCESSDENIED);
    EXPECT_EQ(render(effect, real), E_ACCESSDENIED);
    sdk::failCall("IDSImage::CheckAccess", E_ACCESSDENIED);
    EXPECT_EQ(render(effect, real), E_ACCESSDENIED);
    sdk::failCall("IDSImage::GetPixelFormat", E_OUTOFMEMORY);
    EXPECT_EQ(render(effect, real), E_OUTOFMEMORY) << "nothing drawn is no success";
    EXPECT_TRUE(image.rowIsZero(3));
    RenderSetup none(nullptr);
    EXPECT_EQ(render(effect, none), E_POINTER);
}

TEST_F(Render, AnImageWithoutABufferIsBogusInBothFormats) {
    for (const GUID* format : {&MFIF_RGBA_RAW_32, &MFIF_RGBA_S2_14}) {
        ClaimedImage image(*format, 64, 8, nullptr);
        RenderSetup setup(&image);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(render(effect, setup), S_OK);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Map passed into Generator::process is bogus\n");
    }
}

// Rows of 2 GiB and more do not fit the texture's signed 32-bit row step, and a pixel offset out
// near 2^31 does not fit its coordinates: the render refuses them before pointing anywhere.
TEST_F(Render, ImagesTheTextureCannotAddressAreRefusedUntouched) {
    std::array<std::uint64_t, 64> memory{};
    ClaimedImage wide8(MFIF_RGBA_RAW_32, 536870912, 2, memory.data());
    ClaimedImage wide16(MFIF_RGBA_S2_14, 268435457, 2, memory.data());
    ImageRef far(8, 8, MFIF_RGBA_RAW_32);
    far->setWorldGeometry(0, 2147483600, 8, 8);
    for (IDSImage* image : {static_cast<IDSImage*>(&wide8), static_cast<IDSImage*>(&wide16),
                            static_cast<IDSImage*>(far.image)}) {
        RenderSetup setup(image);
        setup.data.region = {0, 1, 1, 1};
        setup.data.regionSet = true;
        EXPECT_EQ(render(effect, setup), E_INVALIDARG);
    }
    for (std::uint64_t word : memory) EXPECT_EQ(word, 0u);
    for (int r = 0; r < 8; ++r) EXPECT_TRUE(far.rowIsZero(r));
}

TEST_F(Render, RegionOfInterestWritesExactlyItsColumnsPastTheOffset) {
    ImageRef image(64, 8, MFIF_RGBA_RAW_32);
    image->setWorldGeometry(3, 0, 64, 8);  // a pixel offset of (3, 0)
    RenderSetup setup(image.image);
    setup.data.region = {5, 0, 10, 8};
    setup.data.regionSet = true;
    ASSERT_EQ(render(effect, setup), S_OK);
    for (int x = 0; x < 64; ++x) {
        const bool inside = x >= 8 && x <= 17;
        EXPECT_EQ(image.at(4, x, 3) != 0, inside) << "column " << x;
    }

    // A region reaching past the image is clamped to it.
    ImageRef wide(32, 8, MFIF_RGBA_S2_14);
    RenderSetup clamped(wide.image);
    clamped.data.region = {20, -4, 100, 100};
    clamped.data.regionSet = true;
    ASSERT_EQ(render(effect, clamped), S_OK);
    EXPECT_EQ(wide.at(0, 19, 3), 0);
    EXPECT_EQ(wide.at(0, 20, 3), 16384);
    EXPECT_EQ(wide.at(7, 31, 3), 16384);

    // Corners past 2^31 are still corners: the region reaches to the image's edge.
    ImageRef huge(64, 8, MFIF_RGBA_RAW_32);
    RenderSetup vast(huge.image);
    vast.data.region = {10, 2, INT_MAX, INT_MAX};
    vast.data.regionSet = true;
    ASSERT_EQ(render(effect, vast), S_OK);
    for (int x = 0; x < 64; ++x) EXPECT_EQ(huge.at(7, x, 3) != 0, x >= 10) << "column " << x;
    EXPECT_TRUE(huge.rowIsZero(1));

    // A region that misses the image draws nothing, not the column at its edge.
    ImageRef missed(32, 8, MFIF_RGBA_RAW_32);
    RenderSetup beside(missed.image);
    beside.data.region = {40, 0, 10, 8};
    beside.data.regionSet = true;
    ASSERT_EQ(render(effect, beside), S_OK);
    for (int r = 0; r < 8; ++r) EXPECT_TRUE(missed.rowIsZero(r)) << "row " << r;
}

TEST_F(Render, StopThroughTheExecutionContext) {
    ImageRef image(32, 16, MFIF_RGBA_RAW_32);
    RenderSetup setup(image.image);
    setup.context.requestStop();
    ASSERT_EQ(render(effect, setup), S_OK);
    const KtInterruptBlock& interrupt = effect.object().m_Interrupt;
    EXPECT_NE(interrupt.record.aborted, 0);
    EXPECT_EQ(interrupt.stopCode, kStopCodeInterrupted);
    for (int r = 0; r < 16; ++r) EXPECT_TRUE(image.rowIsZero(r));

    setup.context.reset();
    ASSERT_EQ(render(effect, setup), S_OK);
    EXPECT_EQ(effect.object().m_Interrupt.record.aborted, 0);
    EXPECT_EQ(effect.object().m_Interrupt.stopCode, 0);
    EXPECT_FALSE(image.rowIsZero(15));
}

TEST_F(Render, UnreadableProjectValuesZeroTheGeometryButDrawThePattern) {
    ImageRef image(kWidth, 8, MFIF_RGBA_RAW_32);
    RenderSetup setup(image.image);
    sdk::failCall("DSContentGetProperty", E_FAIL, -1);
    ASSERT_EQ(render(effect, setup), S_OK);
    sdk::clearFailures();
    const KtRenderGeometry geometry = effect.object().renderGeometry();
    EXPECT_EQ(geometry.outputFrame, KtFrameRect{});
    EXPECT_EQ(geometry.sourceRect, KtFrameRect{});
    EXPECT_EQ(image.pixel(4, 45), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(image.pixel(4, 719), (Pixel{0, 0, 0, 255}));
}

TEST_F(Render, ACopyWritesItsGeometryBackIntoItsSource) {
    ASSERT_EQ(effect.object().pushOverlay(effect.get()), S_OK);
    IDSImageEffect* raw = nullptr;
    ASSERT_EQ(effect->Clone(IID_IDSImageEffect, reinterpret_cast<void**>(&raw)), S_OK);
    EffectRef copy(raw);

    sdk::host::setProjectFrame(kWidth, kHeight, kWidth, kHeight / 2.0);  // factor 2
    ImageRef image(kWidth, kHeight, MFIF_RGBA_RAW_32);
    image->setWorldGeometry(1, 2, 360, 288);
    RenderSetup setup(image.image);
    effect.object().overlayTool()->m_SrcRect = {1, 1, 1, 1};
    sdk::clearCalls();
    ASSERT_EQ(render(copy, setup), S_OK);
    const KtRenderGeometry geometry = effect.object().renderGeometry();
    EXPECT_EQ(geometry.outputFrame, (KtFrameRect{720, 576, 2, 4}));
    EXPECT_EQ(geometry.sourceRect, KtFrameRect{}) << "no input image: no source rectangle";
    EXPECT_EQ(effect.object().overlayTool()->m_SrcRect.w, 0.0f);
    EXPECT_EQ(sdk::countCalls("CDSInteractiveTool::InvalidateLayer"), 1u);
    effect.object().popOverlay();
}

TEST_F(Render, PresetFromOneEffectRendersTheSamePictureInAnother) {
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternRgbCrossedRamp), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);
    EffectRef other = createEffect();
    ASSERT_EQ(other.host().LoadPreset(effect.host().SavePreset(), nullptr), S_OK);

    ImageRef first(97, 61, MFIF_RGBA_S2_14);
    ImageRef second(97, 61, MFIF_RGBA_S2_14);
    RenderSetup a(first.image), b(second.image);
    ASSERT_EQ(render(effect, a), S_OK);
    ASSERT_EQ(render(other, b), S_OK);
    EXPECT_EQ(std::memcmp(first->data(), second->data(), first->sizeBytes()), 0);
    EXPECT_FALSE(first.rowIsZero(30));
}

// The source centre follows the middle of the input's world rectangle, scaled to the project;
// geometry that is not a number never reaches the viewer.
TEST_F(Render, ARenderOfACopyMovesTheToolsSourceCentre) {
    struct Case {
        double worldHeight;           // of the project, whose user height is 576
        std::array<double, 4> input;  // x, y, width, height in world units
        KtRectF rect;
        KtPoint centre;
        int redraws;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {576, {10, 20, 360, 288}, {10, 20, 360, 288}, {190, 164}, 1},
        {288, {10, 20, 360, 288}, {20, 40, 720, 576}, {380, 328}, 1},  // factor 2
        {0, {10, 20, 360, 288}, {0, 0, 0, 0}, {0, 0}, 1},              // no factor: 0
        {576, {nan, 20, 360, 288}, {0, 0, 720, 576}, {360, 288}, 0},   // left as it was
        {576, {0, 0, 720, 576}, {0, 0, 720, 576}, {360, 288}, 0},      // nothing moved
        {576, {0, 0, 576, 576}, {0, 0, 576, 576}, {288, 288}, 1},      // the width alone
    };
    sdk::host::Viewer viewer(kWidth, kHeight);
    sdk::host::setCurrentViewer(&viewer);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "world height " << c.worldHeight << ", input x " << c.input[0]);
        sdk::host::setProjectFrame(kWidth, kHeight, kWidth, c.worldHeight);
        EffectRef source = createEffect();
        ASSERT_EQ(source.object().pushOverlay(source.get()), S_OK);
        IDSImageEffect* raw = nullptr;
        ASSERT_EQ(source->Clone(IID_IDSImageEffect, reinterpret_cast<void**>(&raw)), S_OK);
        EffectRef copy(raw);
        ImageRef output(kWidth, kHeight, MFIF_RGBA_RAW_32),
            input(kWidth, kHeight, MFIF_RGBA_RAW_32);
        input->setWorldGeometry(c.input[0], c.input[1], c.input[2], c.input[3]);
        RenderSetup setup(output.image);
        setup.data.inputs[0] = input.image;
        const int before = viewer.pendingRedraws(KtTInteract::kOverlayLayer);
        ASSERT_EQ(render(copy, setup), S_OK);

        const KtTInteract& tool = *source.object().overlayTool();
        EXPECT_EQ(tool.m_SrcRect.x, c.rect.x);
        EXPECT_EQ(tool.m_SrcRect.y, c.rect.y);
        EXPECT_EQ(tool.m_SrcRect.w, c.rect.w);
        EXPECT_EQ(tool.m_SrcRect.h, c.rect.h);
        EXPECT_EQ(tool.m_SrcCentre.m_Centre.x, c.centre.x);
        EXPECT_EQ(tool.m_SrcCentre.m_Centre.y, c.centre.y);
        EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer) - before, c.redraws);
        source.object().popOverlay();
    }
    sdk::host::setCurrentViewer(nullptr);
}

// Copies write the source geometry and move the tool's source centre on their threads while
// the viewer reads the geometry, hovers the pen over the overlay and refreshes it.
TEST_F(Render, CopiesRenderingWhileTheViewerUsesTheOverlay) {
    sdk::host::Viewer viewer(kWidth, kHeight);
    sdk::host::setCurrentViewer(&viewer);
    ASSERT_EQ(effect.object().pushOverlay(effect.get()), S_OK);
    std::atomic<bool> done{false};
    std::thread viewerThread([&] {
        for (int step = 0; !done; ++step) {
            const KtRenderGeometry geometry = effect.object().renderGeometry();
            EXPECT_GE(geometry.outputFrame.w, 0.0f);
            EXPECT_EQ(viewer.penMove({0, 100.0 + step % 50, 100.0}), S_OK);
            effect.base().refreshOverlay();
        }
    });
    std::vector<std::thread> renderers;
    for (int t = 0; t < 2; ++t) {
        renderers.emplace_back([&] {
            IDSImageEffect* raw = nullptr;
            ASSERT_EQ(effect->Clone(IID_IDSImageEffect, reinterpret_cast<void**>(&raw)), S_OK);
            EffectRef copy(raw);
            ImageRef image(64, 32, MFIF_RGBA_RAW_32), input(64, 32, MFIF_RGBA_RAW_32);
            RenderSetup setup(image.image);
            setup.data.inputs[0] = input.image;
            for (int frame = 0; frame < 20; ++frame) {
                input->setWorldGeometry(frame, 0, 64, 32);
                ASSERT_EQ(render(copy, setup), S_OK);
            }
        });
    }
    for (auto& t : renderers) t.join();
    done = true;
    viewerThread.join();
    effect.object().popOverlay();
    sdk::host::setCurrentViewer(nullptr);
}

}  // namespace
}  // namespace pattix

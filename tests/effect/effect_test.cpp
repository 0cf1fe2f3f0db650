// The effect as the host sees it: identity and records by category, copies, the parameter set
// and presets, and the render of a frame through Execute in both host pixel formats.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "sdk/host/viewer.hpp"
#include "tests/support/effect_host.hpp"

namespace pattix {
namespace {

using namespace testing;
using Pixel = std::array<int, 4>;

constexpr int kWidth = 720;
constexpr int kHeight = 576;

class Effect : public ::testing::Test {
protected:
    void SetUp() override {
        registeredModule();
        sdk::resetCallLog();
        sdk::host::setProjectFrame(kWidth, kHeight);
        effect = createEffect();
        ASSERT_TRUE(effect);
    }
    void TearDown() override { sdk::resetCallLog(); }

    EffectRef copyOf(const EffectRef& source) {
        IDSImageEffect* raw = nullptr;
        EXPECT_EQ(source->Clone(IID_IDSImageEffect, reinterpret_cast<void**>(&raw)), S_OK);
        return EffectRef(raw);
    }

    EffectRef effect;
};

// ---- identity, records, copies ------------------------------------------------------------

// The category the host files the effect under decides its kind: the record words it reports
// and the images Verify asks for.
TEST_F(Effect, CategoryDecidesRecordWordsAndImages) {
    struct Case {
        const char* category;
        int kind;
        std::array<LONG, 10> words;  // bytes 36 to 72
        int verifiedWith;  // images needed: 0 output, 1 and input, 2 and second input, 3 and mask
    };
    const Case cases[] = {
        {"AE0D7C31-95AA-11D0-B685-00A024191AE0", 1, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 1},
        {"28610EB3-AECA-11D1-BFAD-0800368E7203", 1, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 1},
        {"AE0D7C40-95AA-11D0-B685-00A024191AE0", 4, {0, 96, 8, 1, 0, 1, 0, 1, 0, 0x30A}, 3},
        {"61054A81-9662-11D0-B685-00A024191AE0", 3, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 0},
        {"61054A80-9662-11D0-B685-00A024191AE0", 5, {0, 0, 2, 1, 1, 0, 0, 0, 0, 0x31A}, 2},
        {"AE0D7C33-95AA-11D0-B685-00A024191AE0", 2, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 1},
        {"AE0D7C34-95AA-11D0-B685-00A024191AE0", 7, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 0},
        {"95F7E8A0-8B84-11D1-94A3-00A0C911C625", 1, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 1},
        {"00000000-0000-0000-0000-000000000001", 0, {0, 0, 2, 1, 0, 0, 0, 0, 0, 0x30A}, 0}};
    ImageRef image(8, 8, MFIF_RGBA_RAW_32);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.category);
        EffectRef placed = createEffect();
        DSImageEffectInfo info{};
        ASSERT_EQ(describe(placed, *sdk::parseGuid(c.category), &info), S_OK);
        EXPECT_EQ(placed.object().m_EffectKind, c.kind);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(info.words[i], c.words[i]) << "byte " << 36 + 4 * i;

        DSRenderData data;
        EXPECT_EQ((placed.host().SetRenderData(data), placed->Verify()), E_POINTER);
        data.output = image.image;
        for (int given = 0; given <= 3; ++given) {
            if (given == 1) data.inputs[0] = image.image;
            if (given == 2) data.inputs[1] = image.image;
            if (given == 3) data.pixelMask = image.image;
            placed.host().SetRenderData(data);
            EXPECT_EQ(placed->Verify(), given >= c.verifiedWith ? S_OK : E_POINTER) << given;
        }
    }
}

TEST_F(Effect, ACopyHasTheStateAndItsOwnIdentity) {
    ASSERT_EQ(describe(effect), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternSmpteBars), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);
    EffectRef copy = copyOf(effect);
    EXPECT_NE(&copy.object(), &effect.object());
    EXPECT_EQ(copy.object().m_pCloneSource, &effect.object());
    EXPECT_EQ(copy.object().m_EffectKind, 3);
    EXPECT_EQ(getInt(copy, PARAM_PATTERN), kPatternSmpteBars);
    EXPECT_EQ(getInt(copy, PARAM_RAMP_DIRECTION), kDirectionVertical);
}

// ---- parameters and presets ---------------------------------------------------------------

struct Listener final : IDSPropertyListener {
    std::vector<GUID> seen;
    void OnPropertyChanged(REFGUID id) override { seen.push_back(id); }
};

TEST_F(Effect, ParametersAreWrittenByIdentifierAndReset) {
    Listener listener;
    effect.host().AddPropertyListener(&listener);
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternGreyCrossedRamp), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);
    EXPECT_EQ(effect.object().m_Pattern, kPatternGreyCrossedRamp);
    EXPECT_EQ(effect.object().m_RampDirection, kDirectionVertical);
    EXPECT_EQ(setInt(effect, sdk::guid("63A1D3A9-AE89-11D5-9414-0800690F2F3F"), 1),
              DISP_E_MEMBERNOTFOUND);
    ASSERT_EQ(effect->SetDefaults(), S_OK);
    for (const GUID& id : {PARAM_PATTERN, PARAM_RAMP_DIRECTION, PARAM_HIDE_OVERLAY})
        EXPECT_EQ(getInt(effect, id), 0);
    const std::vector<GUID> told = {PARAM_PATTERN, PARAM_RAMP_DIRECTION, DSPROPERTY_ALL};
    EXPECT_EQ(listener.seen, told);
    effect.host().RemovePropertyListener(&listener);
}

TEST_F(Effect, PresetsRoundTripOrAreRefusedWhole) {
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternRgbCrossedRamp), S_OK);
    ASSERT_EQ(setInt(effect, PARAM_RAMP_DIRECTION, kDirectionVertical), S_OK);
    EffectRef target = createEffect();
    std::string error;
    ASSERT_EQ(target.host().LoadPreset(effect.host().SavePreset(), &error), S_OK) << error;
    EXPECT_EQ(getInt(target, PARAM_PATTERN), kPatternRgbCrossedRamp);
    EXPECT_EQ(getInt(target, PARAM_RAMP_DIRECTION), kDirectionVertical);

    EffectRef untouched = createEffect();
    const std::string pattern = sdk::formatGuid(PARAM_PATTERN);
    const std::string hide = sdk::formatGuid(PARAM_HIDE_OVERLAY);
    const std::string header = "DS-Preset 1\nclass " + sdk::formatGuid(CLSID_Bars) + "\n";
    const std::pair<std::string, std::string> bad[] = {
        {"colour bars please", "not a preset"},
        {header + pattern + " I4 4\n63A1D3A9-AE89-11D5-9414-0800690F2F3F I4 1\n", "no parameter"},
        {header + pattern + " BOOL 1\n", "takes I4"},
        {header + pattern + " I4 four\n", "'four'"},
        {header + pattern + " I4 99999999999\n", "99999999999"},
        {header + hide + " BOOL 2\n", "(0 or 1)"},
        {header + hide + " BOOL 3\n", "(0 or 1)"},
        {"DS-Preset 1\nclass 00000000-0000-0000-0000-000000000001\n" + pattern + " I4 4\n",
         "not this effect"},
        {"DS-Preset 1\n" + pattern + " I4 4\n", "names no effect class"},
        // A bad line is quoted only as far as it is printable, and briefly.
        {header + "\x1b]0;owned\x07\x1b[2J I4 1\n", "\\x1B]0;owned\\x07"},
        {header + std::string(100000, '7') + " I4 1\n", "7777"},
    };
    for (const auto& [text, reason] : bad) {
        error.clear();
        EXPECT_EQ(untouched.host().LoadPreset(text, &error), E_INVALIDARG) << text.substr(0, 80);
        EXPECT_NE(error.find(reason), std::string::npos) << error.substr(0, 300);
        EXPECT_EQ(error.find('\x1b'), std::string::npos);
        EXPECT_LT(error.size(), 300u);
        EXPECT_EQ(getInt(untouched, PARAM_PATTERN), 0) << "a refused preset changes nothing";
    }

    // A host that refuses a write half-way: the values written before it are put back, also
    // when it would not have answered a read of the old values.
    const std::string twoValues =
        header + sdk::formatGuid(PARAM_RAMP_DIRECTION) + " I4 1\n" + pattern + " I4 4\n";
    sdk::failCall("CDSBasePropertyContainer::GetPlainProperty", E_ACCESSDENIED, -1);
    sdk::failCall("CDSBasePropertyContainer::SetPlainProperty", E_ACCESSDENIED, 1, 1);
    EXPECT_EQ(untouched.host().LoadPreset(twoValues, &error), E_ACCESSDENIED);
    sdk::clearFailures();
    EXPECT_EQ(getInt(untouched, PARAM_RAMP_DIRECTION), 0);
    EXPECT_EQ(getInt(untouched, PARAM_PATTERN), 0);

    // A preset is whole or not made: a value the host will not read fails the save.
    std::string partial = "kept";
    sdk::failCall("CDSBasePropertyContainer::GetPlainProperty", E_ACCESSDENIED, 1, 1);
    EXPECT_EQ(effect.host().SavePreset(&partial), E_ACCESSDENIED);
    EXPECT_EQ(partial, "kept");
}

// ---- the render ---------------------------------------------------------------------------

// Texture row 0 is the bottom of the picture: the first row of an 8-bit buffer and the last of a
// 16-bit one. EIA bars of 8 rows have their sub-band (-I first) in frame rows 0 to 2 and 75%
// white above; the first field is the even rows.
TEST_F(Effect, RowOrderAndFieldsInBothFormats) {
    ASSERT_EQ(setInt(effect, PARAM_PATTERN, kPatternEiaBars), S_OK);
    for (const GUID* format : {&MFIF_RGBA_RAW_32, &MFIF_RGBA_S2_14}) {
        const bool narrow = format == &MFIF_RGBA_RAW_32;
        const Pixel subBand = narrow ? Pixel{0, 18, 15, 255} : Pixel{0, 1163, 966, 16384};
        const Pixel white = narrow ? Pixel{191, 191, 191, 255} : Pixel{12288, 12288, 12288, 16384};
        for (const DSFieldIndicator field : {DS_FIELD_FRAME, DS_FIELD_FIRST, DS_FIELD_SECOND}) {
            ImageRef image(16, 8, *format);
            RenderSetup setup(image.image);
            setup.data.field = field;
            ASSERT_EQ(render(effect, setup), S_OK);
            for (int row = 0; row < 8; ++row) {
                const int r = narrow ? row : 7 - row;
                const bool drawn =
                    field == DS_FIELD_FRAME || (r % 2 == 0) == (field == DS_FIELD_FIRST);
                EXPECT_EQ(image.pixel(row, 0), drawn ? (r <= 2 ? subBand : white) : Pixel{})
                    << (narrow ? 8 : 16) << " bits, field " << field << ", buffer row " << row;
            }
        }
    }
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

// Foreign formats, images without a buffer and images the 32-bit texture cannot address (rows of
// 2 GiB, offsets near 2^31) are left untouched.
TEST_F(Effect, ImagesThatCannotBeDrawnAreLeftUntouched) {
    std::array<std::uint64_t, 64> memory{};
    ClaimedImage foreign(sdk::guid("4D464946-0003-4A8B-9C3E-000000000000"), 4, 4, memory.data());
    ClaimedImage wide8(MFIF_RGBA_RAW_32, 536870912, 2, memory.data());
    ClaimedImage wide16(MFIF_RGBA_S2_14, 268435457, 2, memory.data());
    ImageRef far(8, 8, MFIF_RGBA_RAW_32);
    far->setWorldGeometry(0, 2147483600, 8, 8);
    const std::pair<IDSImage*, HRESULT> images[] = {{&foreign, S_OK},
                                                    {&wide8, E_INVALIDARG},
                                                    {&wide16, E_INVALIDARG},
                                                    {far.image, E_INVALIDARG}};
    for (const auto& [image, result] : images) {
        RenderSetup setup(image);
        setup.data.region = {0, 1, 1, 1};
        setup.data.regionSet = true;
        EXPECT_EQ(render(effect, setup), result);
    }
    for (std::uint64_t word : memory) EXPECT_EQ(word, 0u);
    for (int r = 0; r < 8; ++r) EXPECT_TRUE(far.rowIsZero(r));
    for (const GUID* format : {&MFIF_RGBA_RAW_32, &MFIF_RGBA_S2_14}) {
        ClaimedImage empty(*format, 64, 8, nullptr);
        RenderSetup setup(&empty);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(render(effect, setup), S_OK);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Map passed into Generator::process is bogus\n");
    }
}

// The region is in the image's pixels past its offset, clamped to the image, also with corners
// past 2^31; one that misses the image draws nothing, not the column at its edge.
TEST_F(Effect, RegionOfInterestWritesExactlyItsPixels) {
    struct Case {
        const GUID* format;
        double worldX;
        DSRegion region;
        int x0, x1, y0;  // drawn columns x0 to x1 - 1 of rows y0 up (buffer rows, 8 in all)
    };
    const Case cases[] = {{&MFIF_RGBA_RAW_32, 3, {5, 0, 10, 8}, 8, 18, 0},
                          {&MFIF_RGBA_S2_14, 0, {20, -4, 100, 100}, 20, 64, 0},
                          {&MFIF_RGBA_RAW_32, 0, {10, 2, INT_MAX, INT_MAX}, 10, 64, 2},
                          {&MFIF_RGBA_RAW_32, 0, {70, 0, 10, 8}, 0, 0, 0}};
    for (const Case& c : cases) {
        ImageRef image(64, 8, *c.format);
        image->setWorldGeometry(c.worldX, 0, 64, 8);
        RenderSetup setup(image.image);
        setup.data.region = c.region;
        setup.data.regionSet = true;
        ASSERT_EQ(render(effect, setup), S_OK);
        for (int row = 0; row < 8; ++row)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(image.at(row, x, 3) != 0, x >= c.x0 && x < c.x1 && row >= c.y0)
                    << "region at " << c.region.x << ": column " << x << ", row " << row;
    }
}

TEST_F(Effect, AStopThroughTheExecutionContextLeavesTheFrameUndrawn) {
    ImageRef image(32, 16, MFIF_RGBA_RAW_32);
    RenderSetup setup(image.image);
    setup.context.requestStop();
    ASSERT_EQ(render(effect, setup), S_OK);
    EXPECT_NE(effect.object().m_Interrupt.record.aborted, 0);
    EXPECT_EQ(effect.object().m_Interrupt.stopCode, kStopCodeInterrupted);
    for (int r = 0; r < 16; ++r) EXPECT_TRUE(image.rowIsZero(r));
    setup.context.reset();
    ASSERT_EQ(render(effect, setup), S_OK);
    EXPECT_EQ(effect.object().m_Interrupt.record.aborted, 0);
    EXPECT_EQ(effect.object().m_Interrupt.stopCode, 0);
    EXPECT_FALSE(image.rowIsZero(15));
}

// A copy's render writes its geometry back into its source and moves the tool's source centre
// to the middle of the input's world rectangle, scaled to the project; geometry that is not a
// number never reaches the viewer.
TEST_F(Effect, ARenderOfACopyMovesTheSourcesTool) {
    struct Case {
        double worldHeight;           // of the project, whose user height is 576
        std::array<double, 4> input;  // x, y, width, height in world units; none if width is 0
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
        {288, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0}, 1},  // no input: no source rectangle
    };
    sdk::host::Viewer viewer(kWidth, kHeight);
    sdk::host::setCurrentViewer(&viewer);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "world height " << c.worldHeight << ", input "
                                          << c.input[0] << "," << c.input[2]);
        sdk::host::setProjectFrame(kWidth, kHeight, kWidth, c.worldHeight);
        EffectRef source = createEffect();
        ASSERT_EQ(source.object().pushOverlay(source.get()), S_OK);
        EffectRef copy = copyOf(source);
        ImageRef output(kWidth, kHeight, MFIF_RGBA_RAW_32),
            input(kWidth, kHeight, MFIF_RGBA_RAW_32);
        output->setWorldGeometry(1, 2, 360, 288);
        input->setWorldGeometry(c.input[0], c.input[1], c.input[2], c.input[3]);
        RenderSetup setup(output.image);
        if (c.input[2] > 0) setup.data.inputs[0] = input.image;
        const int before = viewer.pendingRedraws(KtTInteract::kOverlayLayer);
        ASSERT_EQ(render(copy, setup), S_OK);

        const KtTInteract& tool = *source.object().overlayTool();
        EXPECT_EQ(
            (std::array{tool.m_SrcRect.x, tool.m_SrcRect.y, tool.m_SrcRect.w, tool.m_SrcRect.h}),
            (std::array{c.rect.x, c.rect.y, c.rect.w, c.rect.h}));
        EXPECT_EQ(tool.m_SrcCentre.m_Centre.x, c.centre.x);
        EXPECT_EQ(tool.m_SrcCentre.m_Centre.y, c.centre.y);
        EXPECT_EQ(viewer.pendingRedraws(KtTInteract::kOverlayLayer) - before, c.redraws);
        const float factor = c.worldHeight > 0 ? static_cast<float>(576 / c.worldHeight) : 0.0f;
        EXPECT_EQ(source.object().renderGeometry().outputFrame,
                  (KtFrameRect{360 * factor, 288 * factor, factor, 2 * factor}));
        source.object().popOverlay();
    }
    sdk::host::setCurrentViewer(nullptr);
}

// Copies write the source geometry and move the tool's source centre on their threads while
// the viewer reads the geometry, hovers the pen over the overlay and refreshes it.
TEST_F(Effect, CopiesRenderingWhileTheViewerUsesTheOverlay) {
    sdk::host::Viewer viewer(kWidth, kHeight);
    sdk::host::setCurrentViewer(&viewer);
    ASSERT_EQ(effect.object().pushOverlay(effect.get()), S_OK);
    std::atomic<bool> done{false};
    std::thread viewerThread([&] {
        for (int step = 0; !done; ++step) {
            EXPECT_GE(effect.object().renderGeometry().outputFrame.w, 0.0f);
            EXPECT_EQ(viewer.penMove({0, 100.0 + step % 50, 100.0}), S_OK);
            effect.base().refreshOverlay();
        }
    });
    std::vector<std::thread> renderers;
    for (int t = 0; t < 2; ++t)
        renderers.emplace_back([&] {
            EffectRef copy = copyOf(effect);
            ImageRef image(64, 32, MFIF_RGBA_RAW_32), input(64, 32, MFIF_RGBA_RAW_32);
            RenderSetup setup(image.image);
            setup.data.inputs[0] = input.image;
            for (int frame = 0; frame < 20; ++frame) {
                input->setWorldGeometry(frame, 0, 64, 32);
                ASSERT_EQ(render(copy, setup), S_OK);
            }
        });
    for (auto& t : renderers) t.join();
    done = true;
    viewerThread.join();
    effect.object().popOverlay();
    sdk::host::setCurrentViewer(nullptr);
}

}  // namespace
}  // namespace pattix

// The maker's effect base: the effect's name and kind, its render state and geometry, and the
// link to the viewer tool that shows its overlay.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>

#include "plugin/image/imager.hpp"
#include "plugin/overlay/interactive_tool.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix {

// Width, height, x, y in world units scaled to the project.
struct KtFrameRect {
    float w = 0.0f;
    float h = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const KtFrameRect&, const KtFrameRect&) = default;
};

struct KtPixelOffset {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Inclusive pixel coordinates.
struct KtProcessWindow {
    std::int32_t x0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y0 = 0;
    std::int32_t y1 = 0;
};

// The interrupt record with the stop code right after it, where the check writes.
struct KtInterruptBlock {
    KtInterruptRecord record{};
    std::int32_t stopCode = 0;
};

// What the overlay needs of the render geometry, read together.
struct KtRenderGeometry {
    KtFrameRect outputFrame;
    KtFrameRect sourceRect;
};

inline constexpr std::int32_t kStopCodeInterrupted = 10000;

// What the host's category makes of the effect: which images it needs and what it shows. The
// numbers are the ones the host's information records and the effect's copies carry.
enum KtEffectKind : std::int32_t {
    kKindUnplaced = 0,     // no known category: only the output image
    kKindFilter = 1,       // one input; shows the property pages
    kKindPlainFilter = 2,  // one input, no pages
    kKindGenerator = 3,    // only the output image; shows the property pages
    kKindMasked = 4,       // one input and the host's pixel mask; no viewer overlay
    kKindTransition = 5,   // two inputs
    kKindOtherFilter = 6,  // one input; no category gives it
    kKindOutputOnly = 7,   // only the output image, no pages
};

enum KtRegistrationFlag : std::uint8_t { kPagesHandedOver = 1 << 0 };
enum KtOverlayFlag : std::uint8_t { kOverlayGeometryChanged = 1 << 0 };

class KtDsEffect {
public:
    explicit KtDsEffect(CDSImageEffectEx* hostBase);
    KtDsEffect(const KtDsEffect&) = delete;
    KtDsEffect& operator=(const KtDsEffect&) = delete;
    // Drains the overlay link: pops until nothing is pushed, which removes the viewer context
    // and releases the tool.
    virtual ~KtDsEffect();

    virtual std::pair<float, float> frameOffset(double time);
    virtual KtTInteract* markOverlayChanged() = 0;
    virtual void refreshOverlay() = 0;
    virtual void updateOverlayGeometry() = 0;

    // Shows the overlay tool in the viewer for the object a property page inspects.
    HRESULT pushOverlay(IUnknown* inspected);
    // Removes it when the last page that pushed it goes.
    void popOverlay();

    KtRenderGeometry renderGeometry() const;
    KtTInteract* overlayTool() const;
    std::int32_t pushCount() const;

    WCHAR m_EffectName[128] = {};
    CDSImageEffectEx* m_pHostBase;
    std::int32_t m_EffectKind = kKindUnplaced;
    std::int32_t m_FieldMode = 0;
    std::uint8_t m_RegistrationFlags = 0;
    KtInterruptBlock m_Interrupt;
    KtProcessWindow m_Window;

protected:
    // The geometry and the overlay link are read by the viewer on the interface thread while
    // a copy rendering on another thread writes them back; this lock keeps both whole.
    mutable std::recursive_mutex m_LinkMutex;
    KtFrameRect m_OutputFrame;
    KtFrameRect m_SourceRect;
    KtPixelOffset m_OutputOffset;
    KtPixelOffset m_SourceOffset;
    KtTInteract* m_pOverlayTool = nullptr;
    DWORD m_ControllerContext = 0;
    std::int32_t m_PushCount = 0;
    std::uint8_t m_OverlayFlags = 0;
};

}  // namespace pattix

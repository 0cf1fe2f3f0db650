// The 2D axis widget: a centre with two arrowed arms that move it, a quarter-circle grip that
// rotates it, a box whose corners and edges scale it and a grip that squeezes one axis. Which
// parts exist is fixed when it is made. KtT2DAxisGroup is the same widget carrying children
// that are drawn and picked in its transformed frame.
#pragma once

#include <cstdint>

#include "plugin/overlay/affine2d.hpp"
#include "plugin/overlay/message.hpp"
#include "plugin/overlay/overlay_object.hpp"

namespace pattix {

inline constexpr OverlayColour AxisMoveColour{0.7f, 0.0f, 0.0f};
inline constexpr OverlayColour AxisRotateColour{0.0f, 0.6f, 0.0f};
inline constexpr OverlayColour AxisScaleColour{0.0f, 0.0f, 0.9f};

class KtT2DAxis : public KtTObject, public KtMessageSender {
public:
    // Part codes, also the bits of the enabled parts.
    static constexpr std::int32_t kMoveX = 1;
    static constexpr std::int32_t kMoveY = 2;
    static constexpr std::int32_t kCentre = kMoveX | kMoveY;
    static constexpr std::int32_t kUniformScale = 4;
    static constexpr std::int32_t kScaleX = 8;
    static constexpr std::int32_t kScaleY = 16;
    static constexpr std::int32_t kRotate = 32;
    static constexpr std::int32_t kAspect = 64;
    static constexpr std::int32_t kAnyScale = kUniformScale | kScaleX | kScaleY;
    // What "show all" treats the enabled parts as: every part but aspect.
    static constexpr std::int32_t kAllButAspect = 63;
    // Side flags: a scale handle taken on the negative side.
    static constexpr std::int32_t kNegativeX = 8;
    static constexpr std::int32_t kNegativeY = 16;
    // m_AxisFlags bits.
    static constexpr std::uint8_t kMatrixDirty = 1;
    static constexpr std::uint8_t kShowName = 2;
    static constexpr std::uint8_t kLocked = 16;
    static constexpr std::uint8_t kShowAll = 32;

    // Sizes in viewer pixels, multiplied by the pixel scale.
    static constexpr float kArmLength = 37.0f;
    static constexpr float kRotateRadius = 32.0f;
    static constexpr float kAspectOffset = 10.0f;
    // Slack around the centre and the aspect grip, in overlay units.
    static constexpr float kGripSlack = 3.0f;

    KtT2DAxis(const char* name, std::int32_t enabledParts);
    ~KtT2DAxis() override;

    KtTObject* pick(float x, float y, float tolX, float tolY) override;
    void draw() override;
    int drag(float x, float y) override;
    int penDown(float x, float y) override;
    int penUp() override;
    int enter(float x, float y) override;
    int leave() override;
    void drawLabel(const KtPoint& point) override;
    void childChanged(KtTObject* child) override;
    void toLocal(KtPoint& out, const KtPoint& in) override;
    void setScale(float s) override;
    // The widget's extent in the parent's units.
    virtual void computeExtent(KtExtent& extent);

    // Takes in the extent, sets the bounds from it and tells the parent.
    void updateBounds();
    // Moves the centre of a widget that can be moved (or shows all its parts) to follow
    // something outside the overlay; answers whether it moved.
    bool followCentre(const KtPoint& centre);
    // Rebuilds the local-to-parent matrix and its inverse when they are out of date.
    void rebuildMatrix();

    // The aspect's squeeze of each axis: a positive aspect squeezes y, a negative one x.
    float aspectX() const;
    float aspectY() const;
    // The whole scale of each axis: aspect, axis scale and uniform scale.
    float scaleFactorX() const { return aspectX() * m_fScaleX * m_fUniformScale; }
    float scaleFactorY() const { return aspectY() * m_fScaleY * m_fUniformScale; }
    // The aspect grip's position in the rotated frame.
    KtPoint aspectHandle() const;
    bool enabled(std::int32_t parts) const { return (m_nEnabledParts & parts) != 0; }
    bool hasAxisFlag(std::uint8_t flag) const { return (m_AxisFlags & flag) != 0; }
    void setAxisFlag(std::uint8_t flag, bool on) {
        m_AxisFlags = static_cast<std::uint8_t>(on ? (m_AxisFlags | flag) : (m_AxisFlags & ~flag));
    }

    KtPoint m_GrabPoint;
    float m_fGrabAngle = 0.0f;    // radians
    float m_fSinRotation = 0.0f;  // of minus the rotation, taken at the press
    float m_fCosRotation = 1.0f;
    std::int32_t m_nEnabledParts;
    std::int32_t m_nPart = 0;
    std::int32_t m_nSideFlags = 0;
    KtPoint m_Centre;
    float m_fScaleX = 1.0f;
    float m_fScaleY = 1.0f;
    float m_fUniformScale = 1.0f;
    float m_fRotation = 0.0f;  // degrees, counterclockwise, never wrapped
    float m_fAspect = 0.0f;    // -1 to 1
    Affine2D m_Matrix;         // local units to the parent's
    Affine2D m_InverseMatrix;
    std::uint8_t m_AxisFlags = kMatrixDirty;

private:
    void sendMessage(std::int32_t type, std::int32_t value);
    void drawArms(bool pressed, bool hovered);
};

class KtT2DAxisGroup : public KtT2DAxis {
public:
    KtT2DAxisGroup(const char* name, std::int32_t enabledParts);
    ~KtT2DAxisGroup() override;

    KtTObject* pick(float x, float y, float tolX, float tolY) override;
    void draw() override;
    void pushTransform() override;
    void popTransform() override;
    void childChanged(KtTObject* child) override;
    void setManager(KtTManager* manager) override;
    // Children join the first list (drawn under an OpenGL transform) or, with
    // m_bAddToSecondList, the second (drawn under the transform stack). Their parent is not
    // set.
    int add(KtTObject* child) override;
    int remove(KtTObject* child) override;
    void setActive(KtTObject* target) override;
    void computeExtent(KtExtent& extent) override;

    bool m_bOwnWidgetShown = true;
    bool m_bOwnWidgetThroughStack = false;
    bool m_bAddToSecondList = false;
    KtExtent m_ChildrenExtent;  // in local units
    KtTContainer m_FirstList;
    KtTContainer m_SecondList;
};

}  // namespace pattix

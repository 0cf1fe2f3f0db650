#include "plugin/overlay/axis.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugin/overlay/manager.hpp"
#include "plugin/overlay/smooth_draw_guard.hpp"

namespace pattix {
namespace {

constexpr float kPi = 3.1415927f;
constexpr double kDegreesPerRadian = 180.0 / 3.1415927410125732;
// The rotation grip spans -45 to 45 degrees.
constexpr float kGripHalfAngle = 0.7853982f;
// Where the rotation grip's arrow heads sit: 32 x cos 45 degrees.
constexpr float kGripHead = 22.627416610717773f;
constexpr float kGripHeadSlope = 1.4142135f;
// Move arms run from 3 to 34 pixels out; their heads end at 37.
constexpr float kArmStart = 3.0f;
constexpr float kArmEnd = 34.0f;
constexpr float kHeadLength = 10.0f;
constexpr float kArmHeadHalfWidth = 1.5f;
constexpr float kGripHeadHalfWidth = 2.0f;
constexpr float kGripRadius = 2.0f;
constexpr float kAspectGuide = 17.0f;
constexpr OverlayColour kBlack{0.0f, 0.0f, 0.0f};
constexpr int kStatusLength = 256;

float radians(float degrees) {
    return degrees * kPi / 180.0f;
}

// (x, y) turned counterclockwise by the angle whose sine and cosine are given.
KtPoint turned(float x, float y, float sine, float cosine) {
    return {x * cosine - y * sine, x * sine + y * cosine};
}

void lineOrDashed(float x1, float y1, float x2, float y2, bool dashed, const OverlayColour& colour,
                  const OverlayColour& dashColour) {
    if (dashed) {
        KtTDraw::drawDashedLine(x1, y1, x2, y2, colour, dashColour);
    } else {
        KtTDraw::drawLine(x1, y1, x2, y2, colour);
    }
}

}  // namespace

// --- KtT2DAxis --------------------------------------------------------------------------------

KtT2DAxis::KtT2DAxis(const char* name, std::int32_t enabledParts)
    : KtTObject(name), m_nEnabledParts(enabledParts) {
    // The bounds follow the widget's extent.
    setFlag(kPositionSettable, false);
    setFlag(kSizeSettable, false);
    updateBounds();
}

KtT2DAxis::~KtT2DAxis() = default;

float KtT2DAxis::aspectX() const {
    return m_fAspect >= 0.0f ? 1.0f : 1.0f - std::min(-m_fAspect, 1.0f);
}

float KtT2DAxis::aspectY() const {
    return m_fAspect <= 0.0f ? 1.0f : 1.0f - std::min(m_fAspect, 1.0f);
}

KtPoint KtT2DAxis::aspectHandle() const {
    const float s = m_fScale;
    const float reach = kArmLength * s;
    if (!enabled(kAnyScale)) return {aspectX() * reach, aspectY() * reach};
    const KtPoint corner{scaleFactorX() * reach, scaleFactorY() * reach};
    const float length = std::sqrt(corner.x * corner.x + corner.y * corner.y);
    if (length == 0.0f) return corner;
    const float offset = kAspectOffset * s;
    return {corner.x + offset * corner.x / length, corner.y + offset * corner.y / length};
}

void KtT2DAxis::rebuildMatrix() {
    if (!hasAxisFlag(kMatrixDirty)) return;
    Affine2D matrix;
    matrix.scale(scaleFactorX(), scaleFactorY());
    matrix.rotate(radians(m_fRotation));
    matrix.translate(m_Centre.x, m_Centre.y);
    m_Matrix = matrix;
    m_InverseMatrix.inverseOf(matrix);
    setAxisFlag(kMatrixDirty, false);
}

void KtT2DAxis::updateBounds() {
    KtExtent extent;
    computeExtent(extent);
    m_Bounds = {extent.xMin, extent.yMin, extent.xMax - extent.xMin, extent.yMax - extent.yMin};
    if (m_pParent != nullptr) m_pParent->childChanged(this);
}

bool KtT2DAxis::followCentre(const KtPoint& centre) {
    if (!hasAxisFlag(kShowAll) && (m_nEnabledParts & kCentre) != kCentre) return false;
    if (m_Centre.x == centre.x && m_Centre.y == centre.y) return false;
    m_Centre = centre;
    setAxisFlag(kMatrixDirty, true);
    updateBounds();
    return true;
}

void KtT2DAxis::sendMessage(std::int32_t type, std::int32_t value) {
    KtMessage message(type, name());
    message.setValue(value);
    send(message);
}

KtTObject* KtT2DAxis::pick(float x, float y, float tolX, float tolY) {
    if (hasAxisFlag(kLocked)) {
        m_nPart = 0;
        return nullptr;
    }
    const float s = m_fScale;
    const float reach = kArmLength * s;
    const float dx = x - m_Centre.x;
    const float dy = y - m_Centre.y;
    const float a = -radians(m_fRotation);
    const KtPoint l = turned(dx, dy, std::sin(a), std::cos(a));
    const float sx = scaleFactorX();
    const float sy = scaleFactorY();
    const KtPoint u{l.x / sx, l.y / sy};
    const float tx = tolX / std::fabs(sx);
    const float ty = tolY / std::fabs(sy);

    std::int32_t part = 0;
    if (enabled(kAspect)) {
        const KtPoint h = aspectHandle();
        if (std::fabs(h.x - l.x) < tolX + kGripSlack && std::fabs(h.y - l.y) < tolY + kGripSlack)
            part = kAspect;
    }
    if (part == 0 && (m_nEnabledParts & kCentre) == kCentre && std::fabs(dx) < tolX + kGripSlack &&
        std::fabs(dy) < tolY + kGripSlack)
        part = kCentre;
    if (part == 0 && enabled(kRotate)) {
        const float angle = std::atan2(l.y, l.x);
        if (std::fabs(std::sqrt(l.x * l.x + l.y * l.y) - kRotateRadius * s) < tolX &&
            angle >= -kGripHalfAngle && angle <= kGripHalfAngle)
            part = kRotate;
    }
    if (part == 0 && enabled(kUniformScale) && std::fabs(std::fabs(u.x) - reach) < tx &&
        std::fabs(std::fabs(u.y) - reach) < ty) {
        part = kUniformScale;
        m_nSideFlags = (u.x < 0.0f ? kNegativeX : 0) | (u.y < 0.0f ? kNegativeY : 0);
    }
    if (part == 0 && enabled(kScaleX) && std::fabs(std::fabs(u.x) - reach) < tx && -reach < u.y &&
        u.y < reach) {
        part = kScaleX;
        m_nSideFlags = u.x < 0.0f ? kNegativeX : 0;
    }
    if (part == 0 && enabled(kScaleY) && std::fabs(std::fabs(u.y) - reach) < ty && -reach < u.x &&
        u.x < reach) {
        part = kScaleY;
        m_nSideFlags = u.y < 0.0f ? kNegativeY : 0;
    }
    if (part == 0 && enabled(kMoveY) && std::fabs(dx) < tolX && std::fabs(dy) < tolY + reach)
        part = kMoveY;
    if (part == 0 && enabled(kMoveX) && std::fabs(dy) < tolY && std::fabs(dx) < tolX + reach)
        part = kMoveX;

    if (part == 0) {
        m_nPart = 0;
        m_pActive = nullptr;
        return nullptr;
    }
    if (m_pActive != this || m_nPart != part) requestRedraw();
    m_pActive = this;
    m_nPart = part;
    return this;
}

int KtT2DAxis::penDown(float x, float y) {
    if (m_nPart == 0) return 0;
    sendMessage(AxisGrab, m_nPart);
    m_GrabPoint = {x, y};
    if (m_nPart == kRotate) m_fGrabAngle = std::atan2(y - m_Centre.y, x - m_Centre.x);
    if (m_nPart == kUniformScale || m_nPart == kScaleX || m_nPart == kScaleY ||
        m_nPart == kAspect) {
        const float a = -radians(m_fRotation);
        m_fSinRotation = std::sin(a);
        m_fCosRotation = std::cos(a);
    }
    setFlag(kPressed, true);
    return 1;
}

int KtT2DAxis::drag(float x, float y) {
    const float reach = kArmLength * m_fScale;
    const KtPoint l = turned(x - m_Centre.x, y - m_Centre.y, m_fSinRotation, m_fCosRotation);
    const float sideX = (m_nSideFlags & kNegativeX) != 0 ? -1.0f : 1.0f;
    const float sideY = (m_nSideFlags & kNegativeY) != 0 ? -1.0f : 1.0f;

    if ((m_nPart & kCentre) != 0) {
        const float deltaX = x - m_GrabPoint.x;
        const float deltaY = y - m_GrabPoint.y;
        m_GrabPoint = {x, y};
        if ((m_nPart & kMoveX) != 0) {
            m_Centre.x += deltaX;
            m_Bounds.x += deltaX;
        }
        if ((m_nPart & kMoveY) != 0) {
            m_Centre.y += deltaY;
            m_Bounds.y += deltaY;
        }
    } else if (m_nPart == kRotate) {
        const float a = std::atan2(y - m_Centre.y, x - m_Centre.x);
        float step = static_cast<float>((a - m_fGrabAngle) * kDegreesPerRadian);
        m_fGrabAngle = a;
        // atan2 jumps by a full turn where the pen crosses the negative x axis.
        if (step > 180.0f) step -= 360.0f;
        if (step < -180.0f) step += 360.0f;
        m_fRotation += step;
    } else if (m_nPart == kUniformScale) {
        const float qx = l.x / m_fScaleX;
        const float qy = l.y / m_fScaleY;
        m_fUniformScale = std::fabs(qx) <= std::fabs(qy) ? sideY * qy / reach : sideX * qx / reach;
    } else if (m_nPart == kScaleX) {
        m_fScaleX = sideX * (l.x / m_fUniformScale) / reach;
    } else if (m_nPart == kScaleY) {
        m_fScaleY = sideY * (l.y / m_fUniformScale) / reach;
    } else if (m_nPart == kAspect) {
        const float qx = l.x / m_fScaleX;
        const float qy = l.y / m_fScaleY;
        if (qx < 0.0f || qy < 0.0f) {
            if (m_fAspect < 0.0f) m_fAspect = -1.0f;
            if (m_fAspect > 0.0f) m_fAspect = 1.0f;
        } else {
            m_fAspect = qy <= qx ? 1.0f - qy / qx : qx / qy - 1.0f;
        }
    }
    updateBounds();
    sendMessage(AxisDrag, 0);
    setAxisFlag(kMatrixDirty, true);
    return 1;
}

int KtT2DAxis::penUp() {
    sendMessage(AxisRelease, m_nPart);
    m_nPart = 0;
    setFlag(kPressed, false);
    return 1;
}

int KtT2DAxis::enter(float /*x*/, float /*y*/) {
    setFlag(kHovered, true);
    return 1;
}

int KtT2DAxis::leave() {
    m_nPart = 0;
    setFlag(kHovered, false);
    return 1;
}

void KtT2DAxis::drawLabel(const KtPoint& point) {
    if (!m_Description || hasFlag(kPressed)) return;
    const char* format = nullptr;
    switch (m_nPart) {
        case kMoveX:
        case kMoveY:
        case kCentre:
            format = "Translates the %s.";
            break;
        case kUniformScale:
        case kScaleX:
        case kScaleY:
        case kScaleX | kScaleY:
            format = "Scales the %s.";
            break;
        case kRotate:
            format = "Rotates the %s.";
            break;
        case kAspect:
            format = "Aspects the %s.";
            break;
        default:
            return;
    }
    char text[kStatusLength];
    std::snprintf(text, sizeof text, format, m_Description->c_str());
    drawLabelText(text, point.x, point.y);
}

void KtT2DAxis::childChanged(KtTObject* /*child*/) {}

void KtT2DAxis::toLocal(KtPoint& out, const KtPoint& in) {
    rebuildMatrix();
    out = m_InverseMatrix.map(in);
}

void KtT2DAxis::setScale(float s) {
    m_fScale = s;
    updateBounds();
}

void KtT2DAxis::computeExtent(KtExtent& extent) {
    const std::int32_t parts = hasAxisFlag(kShowAll) ? kAllButAspect : m_nEnabledParts;
    if (parts == 0) {
        extent = {m_Centre.x, m_Centre.x, m_Centre.y, m_Centre.y};
        return;
    }
    const float s = m_fScale;
    const float reach = kArmLength * s;
    extent = KtExtent::empty();
    if ((parts & kMoveX) != 0) {
        extent.include(-reach, -kGripSlack);
        extent.include(reach, kGripSlack);
    }
    if ((parts & kMoveY) != 0) {
        extent.include(-kGripSlack, -reach);
        extent.include(kGripSlack, reach);
    }
    if ((parts & kRotate) != 0) {
        const float r = kRotateRadius * s;
        extent.include(-r, -r);
        extent.include(r, r);
    }
    const float angle = radians(m_fRotation);
    const float sine = std::sin(angle);
    const float cosine = std::cos(angle);
    if ((parts & kAnyScale) != 0) {
        const float cx = reach * m_fUniformScale * m_fScaleX;
        const float cy = reach * m_fUniformScale * m_fScaleY;
        for (const KtPoint corner :
             {KtPoint{-cx, -cy}, KtPoint{cx, -cy}, KtPoint{cx, cy}, KtPoint{-cx, cy}}) {
            const KtPoint p = turned(corner.x, corner.y, sine, cosine);
            extent.include(p.x, p.y);
        }
    }
    if ((parts & kAspect) != 0) {
        const KtPoint h = aspectHandle();
        const KtPoint p = turned(h.x, h.y, sine, cosine);
        extent.include(p.x + kGripSlack, p.y + kGripSlack);
    }
    extent.xMin += m_Centre.x;
    extent.xMax += m_Centre.x;
    extent.yMin += m_Centre.y;
    extent.yMax += m_Centre.y;
}

void KtT2DAxis::drawArms(bool pressed, bool hovered) {
    const float s = m_fScale;
    const float reach = kArmLength * s;
    const float start = kArmStart * s;
    const float end = kArmEnd * s;
    const float headLength = kHeadLength * s;
    const float halfWidth = kArmHeadHalfWidth * s;
    for (const std::int32_t arm : {kMoveX, kMoveY}) {
        if (!enabled(arm)) continue;
        const bool lit = (m_nPart & arm) != 0;
        OverlayColour colour = AxisMoveColour;
        OverlayColour second = AxisMoveColour;
        bool dashed = false;
        if (lit && pressed) {
            colour = second = OverlayWhite;
        } else if (lit && hovered) {
            second = OverlayWhite;
            dashed = true;
        }
        // The x arm along (1, 0); the y arm the same turned upright.
        const float ux = arm == kMoveX ? 1.0f : 0.0f;
        const float uy = arm == kMoveX ? 0.0f : 1.0f;
        lineOrDashed(-end * ux, -end * uy, -start * ux, -start * uy, dashed, colour, second);
        lineOrDashed(start * ux, start * uy, end * ux, end * uy, dashed, colour, second);
        drawArrowHead(-reach * ux, -reach * uy, -ux, -uy, headLength, halfWidth, colour, second);
        drawArrowHead(reach * ux, reach * uy, ux, uy, headLength, halfWidth, colour, second);
    }
}

void KtT2DAxis::draw() {
    SmoothDrawGuard smooth(SmoothDrawGuard::kAll);
    if (m_bThroughTransformStack) {
        glPushMatrix();
        applyAffine();
    }
    const float s = m_fScale;
    const bool pressed = hasFlag(kPressed);
    const bool hovered = hasFlag(kHovered);

    glPushMatrix();
    glTranslatef(enabled(kMoveX) ? m_Centre.x : 0.0f, enabled(kMoveY) ? m_Centre.y : 0.0f, 0.0f);
    glPushMatrix();
    glPushMatrix();
    if (enabled(kRotate)) glRotatef(m_fRotation, 0.0f, 0.0f, 1.0f);

    if (enabled(kAspect) && m_nPart == kAspect && (pressed || hovered)) {
        drawDashedLine(0.0f, 0.0f, 0.0f, kAspectGuide * s, AxisScaleColour, OverlayWhite);
        drawDashedLine(0.0f, 0.0f, kAspectGuide * s, 0.0f, AxisScaleColour, OverlayWhite);
    }

    if (enabled(kAnyScale)) {
        const float lx = scaleFactorX() * kArmLength * s;
        const float ly = scaleFactorY() * kArmLength * s;
        const bool sidesLit = m_nPart == kUniformScale || m_nPart == kScaleX;
        const bool topsLit = m_nPart == kUniformScale || m_nPart == kScaleY;
        auto edge = [&](float x1, float y1, float x2, float y2, bool lit) {
            if (lit && pressed) {
                drawLine(x1, y1, x2, y2, OverlayWhite);
            } else if (lit && hovered) {
                drawDashedLine(x1, y1, x2, y2, AxisScaleColour, OverlayWhite);
            } else {
                drawLine(x1, y1, x2, y2, AxisScaleColour);
            }
        };
        edge(-lx, -ly, -lx, ly, sidesLit);
        edge(lx, -ly, lx, ly, sidesLit);
        edge(-lx, -ly, lx, -ly, topsLit);
        edge(-lx, ly, lx, ly, topsLit);
    }

    if (enabled(kAspect)) {
        const KtPoint h = aspectHandle();
        const bool held = m_nPart == kAspect;
        if (held && pressed) {
            drawLine(0.0f, 0.0f, h.x, h.y, OverlayWhite);
        } else if (held) {
            drawDashedLine(0.0f, 0.0f, h.x, h.y, AxisScaleColour, OverlayWhite);
        } else {
            drawLine(0.0f, 0.0f, h.x, h.y, AxisScaleColour);
        }
        drawDiskOutlined(h.x, h.y, kGripRadius, AxisScaleColour,
                         held ? OverlayWhite : OverlayShadow);
    }

    if (enabled(kRotate)) {
        OverlayColour a = AxisRotateColour;
        OverlayColour b = AxisRotateColour;
        if (m_nPart == kRotate && hovered) b = OverlayWhite;
        if (m_nPart == kRotate && pressed) a = b = OverlayWhite;
        const float r = kRotateRadius * s;
        drawDashedLine(0.0f, 0.0f, r, 0.0f, a, b);
        drawDashedArc(0.0f, 0.0f, r, -45.0f, 45.0f, a, b);
        const float head = kGripHead * s;
        drawArrowHead(head, -head, -1.0f, -kGripHeadSlope, kHeadLength * s, kGripHeadHalfWidth * s,
                      a, b);
        drawArrowHead(head, head, -1.0f, kGripHeadSlope, kHeadLength * s, kGripHeadHalfWidth * s, a,
                      b);
    }

    if (!enabled(kCentre) && !hasAxisFlag(kShowAll)) {
        drawDiskOutlined(0.0f, 0.0f, kGripRadius,
                         enabled(kAnyScale | kAspect) ? AxisScaleColour : AxisRotateColour,
                         m_nPart == kAspect ? OverlayWhite : OverlayShadow);
    }

    glPopMatrix();  // the rotation
    if (!hasAxisFlag(kLocked)) drawArms(pressed, hovered);

    glPopMatrix();
    if (hasAxisFlag(kShowName) && m_Name) {
        const std::size_t length = m_Name->size();
        setColour(kBlack);
        drawText(m_Name->c_str(), length, 3.0f, 3.0f);
        setColour(OverlayWhite);
        drawText(m_Name->c_str(), length, 5.0f, 5.0f);
    }

    glPopMatrix();
    if (m_bThroughTransformStack) glPopMatrix();
}

// --- KtT2DAxisGroup ---------------------------------------------------------------------------

KtT2DAxisGroup::KtT2DAxisGroup(const char* name, std::int32_t enabledParts)
    : KtT2DAxis(name, enabledParts) {
    m_FirstList.m_pHolderObject = this;
    m_SecondList.m_pHolderObject = this;
}

KtT2DAxisGroup::~KtT2DAxisGroup() = default;

KtTObject* KtT2DAxisGroup::pick(float x, float y, float tolX, float tolY) {
    rebuildMatrix();
    const KtPoint local = m_InverseMatrix.map({x, y});
    const float localTolX = tolX / std::fabs(scaleFactorX());
    const float localTolY = tolY / std::fabs(scaleFactorY());
    m_pActive = nullptr;
    KtTObject* childResult = nullptr;
    for (KtTContainer* list : {&m_FirstList, &m_SecondList}) {
        KtTObject* picked = list->pickChildren(local.x, local.y, localTolX, localTolY);
        if (isObject(picked)) {
            m_pActive = list->m_pCurrent;
            return picked;
        }
        if (picked != nullptr) childResult = picked;
    }
    if (m_bOwnWidgetShown) return KtT2DAxis::pick(x, y, tolX, tolY);
    return childResult;
}

void KtT2DAxisGroup::draw() {
    rebuildMatrix();
    if (m_bOwnWidgetShown) {
        if (m_bOwnWidgetThroughStack) {
            glPushMatrix();
            applyAffine();
            KtT2DAxis::draw();
            glPopMatrix();
        } else {
            KtT2DAxis::draw();
        }
    }
    pushAffine();
    concatAffine(m_Matrix);
    m_SecondList.drawChildren();
    popAffine();

    const std::int32_t parts = hasAxisFlag(kShowAll) ? kAllButAspect : m_nEnabledParts;
    glPushMatrix();
    glTranslatef((parts & kMoveX) != 0 ? m_Centre.x : 0.0f,
                 (parts & kMoveY) != 0 ? m_Centre.y : 0.0f, 0.0f);
    if ((parts & kRotate) != 0) glRotatef(m_fRotation, 0.0f, 0.0f, 1.0f);
    if ((parts & (kAnyScale | kAspect)) != 0) glScalef(scaleFactorX(), scaleFactorY(), 1.0f);
    m_FirstList.drawChildren();
    glPopMatrix();
}

void KtT2DAxisGroup::pushTransform() {
    rebuildMatrix();
    pushAffine();
    concatAffine(m_Matrix);
}

void KtT2DAxisGroup::popTransform() {
    popAffine();
}

void KtT2DAxisGroup::childChanged(KtTObject* /*child*/) {
    KtExtent first;
    KtExtent second;
    const std::int32_t firstState = m_FirstList.getBounds(first);
    const std::int32_t secondState = m_SecondList.getBounds(second);
    m_ChildrenExtent = KtExtent::empty();
    if (firstState != KtTContainer::kSomeUnbounded && secondState != KtTContainer::kSomeUnbounded) {
        if (firstState == KtTContainer::kAllBounded) m_ChildrenExtent.include(first);
        if (secondState == KtTContainer::kAllBounded) m_ChildrenExtent.include(second);
    }
    setFlag(kBounded, firstState != KtTContainer::kSomeUnbounded &&
                          secondState != KtTContainer::kSomeUnbounded);
    updateBounds();
}

void KtT2DAxisGroup::setManager(KtTManager* manager) {
    m_pManager = manager;
    m_FirstList.setManagerOfChildren(manager);
    m_SecondList.setManagerOfChildren(manager);
}

int KtT2DAxisGroup::add(KtTObject* child) {
    KtTContainer& list = m_bAddToSecondList ? m_SecondList : m_FirstList;
    if (child == nullptr || list.find(child) != nullptr) return 0;
    const bool wasEmpty = list.m_Children.empty();
    if (!list.m_Children.append(child)) return 0;
    const bool childBounded = child->hasFlag(kBounded);
    list.m_nBoundsState = childBounded ? KtTContainer::kAllBounded : KtTContainer::kSomeUnbounded;
    setFlag(kBounded, childBounded);
    child->setManager(m_pManager);
    child->m_pHolder = this;
    if (childBounded) {
        const KtRect& c = child->m_Bounds;
        const KtExtent rect{c.x, c.x + c.w, c.y, c.y + c.h};
        if (wasEmpty) {
            m_ChildrenExtent = rect;
        } else {
            m_ChildrenExtent.include(rect);
        }
    }
    updateBounds();
    return 1;
}

int KtT2DAxisGroup::remove(KtTObject* child) {
    if (child == nullptr) return 0;
    KtTContainer* holder = nullptr;
    for (KtTContainer* list : {&m_FirstList, &m_SecondList}) {
        if (list->find(child) != nullptr) {
            holder = list;
            break;
        }
    }
    if (holder == nullptr) return 0;
    holder->m_Children.remove(child);
    // A removed child may be destroyed next; no pointer to it may stay behind.
    if (holder->m_pCurrent == child) holder->m_pCurrent = nullptr;
    if (m_pActive == child) m_pActive = nullptr;
    if (child->m_pHolder == this) child->m_pHolder = nullptr;
    child->setManager(nullptr);
    child->setParent(nullptr);
    childChanged(child);
    return 1;
}

void KtT2DAxisGroup::setActive(KtTObject* target) {
    KtTObject* active = target != nullptr ? target : this;
    for (KtTContainer* list : {&m_FirstList, &m_SecondList}) {
        if (list->find(active) != nullptr) list->setCurrent(active);
    }
    m_pActive = active;
}

void KtT2DAxisGroup::computeExtent(KtExtent& extent) {
    KtT2DAxis::computeExtent(extent);
    if (!hasFlag(kBounded) || (m_FirstList.m_Children.empty() && m_SecondList.m_Children.empty()))
        return;
    rebuildMatrix();
    const KtExtent& c = m_ChildrenExtent;
    for (const KtPoint corner : {KtPoint{c.xMin, c.yMin}, KtPoint{c.xMax, c.yMin},
                                 KtPoint{c.xMax, c.yMax}, KtPoint{c.xMin, c.yMax}}) {
        const KtPoint p = m_Matrix.map(corner);
        extent.include(p.x, p.y);
    }
}

}  // namespace pattix

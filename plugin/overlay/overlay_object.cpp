#include "plugin/overlay/overlay_object.hpp"

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "plugin/overlay/manager.hpp"

namespace pattix {

KtExtent KtExtent::empty() {
    constexpr float kMax = std::numeric_limits<float>::max();
    return {kMax, -kMax, kMax, -kMax};
}

void KtExtent::include(float x, float y) {
    if (x < xMin) xMin = x;
    if (x > xMax) xMax = x;
    if (y < yMin) yMin = y;
    if (y > yMax) yMax = y;
}

void KtExtent::include(const KtExtent& other) {
    include(other.xMin, other.yMin);
    include(other.xMax, other.yMax);
}

KtTObject* blockedMarker() {
    // The pointer whose bits are all ones: no object can live there.
    return reinterpret_cast<KtTObject*>(~std::uintptr_t{0});
}

// --- KtTObject --------------------------------------------------------------------------------

namespace {

// Names and descriptions are copied inside host calls, where no exception may pass: without
// the memory for the copy the object goes without the text.
void copyText(std::optional<std::string>& field, const char* text) noexcept {
    field.reset();
    if (text == nullptr) return;
    try {
        field.emplace(text);
    } catch (...) {
    }
}

}  // namespace

KtTObject::KtTObject(const char* name) noexcept {
    copyText(m_Name, name);
}

KtTObject::~KtTObject() {
    KtTManager* manager = m_pManager;  // leaving the group clears it
    if (m_pHolder != nullptr) m_pHolder->remove(this);
    if (manager != nullptr) manager->forget(this);
}

void KtTObject::pushTransform() {}
void KtTObject::popTransform() {}

int KtTObject::penDown(float /*x*/, float /*y*/) {
    setFlag(kPressed, true);
    return 1;
}

int KtTObject::penUp() {
    setFlag(kPressed, false);
    return 1;
}

int KtTObject::enter(float /*x*/, float /*y*/) {
    setFlag(kHovered, true);
    return 1;
}

int KtTObject::leave() {
    setFlag(kHovered, false);
    return 1;
}

void KtTObject::drawLabel(const KtPoint& point) {
    if (m_Description && !hasFlag(kPressed))
        drawLabelText(m_Description->c_str(), point.x, point.y);
}

void KtTObject::childChanged(KtTObject* /*child*/) {}

void KtTObject::toLocal(KtPoint& out, const KtPoint& in) {
    out = {in.x - m_Bounds.x, in.y - m_Bounds.y};
}

void KtTObject::setSize(float w, float h) {
    if (!hasFlag(kSizeSettable)) return;
    m_Bounds.w = w;
    m_Bounds.h = h;
    if (m_pParent != nullptr) m_pParent->childChanged(this);
}

void KtTObject::setPosition(float x, float y) {
    if (!hasFlag(kPositionSettable)) return;
    m_Bounds.x = x;
    m_Bounds.y = y;
    if (m_pParent != nullptr) m_pParent->childChanged(this);
}

void KtTObject::setManager(KtTManager* manager) {
    m_pManager = manager;
}

void KtTObject::setScale(float s) {
    m_fScale = s;
}

void KtTObject::getMinSize(KtPoint& out) {
    out = {0.0f, 0.0f};
}

void KtTObject::getMaxSize(KtPoint& out) {
    constexpr float kMax = std::numeric_limits<float>::max();
    out = {kMax, kMax};
}

KtTObject* KtTObject::findByName(const char* name) {
    if (name == nullptr || !m_Name) return nullptr;
    return std::strcmp(name, m_Name->c_str()) == 0 ? this : nullptr;
}

int KtTObject::add(KtTObject* /*child*/) {
    return 0;
}
int KtTObject::remove(KtTObject* /*child*/) {
    return 0;
}

void KtTObject::setActive(KtTObject* target) {
    m_pActive = target != nullptr ? target : this;
}

void KtTObject::setParent(KtTGroup* group) {
    if (group == nullptr) {
        m_pParent = nullptr;
        m_pManager = nullptr;
        return;
    }
    if (group->add(this) == 0) return;
    m_pParent = group;
    setManager(group->m_pManager);
    group->childChanged(this);
}

void KtTObject::requestRedraw() {
    if (m_pManager != nullptr) m_pManager->setFlag(KtTManager::kRedraw, true);
}

void KtTObject::setDescription(const char* description) noexcept {
    copyText(m_Description, description);
}

KtTObject* KtTObject::pickIfVisible(float x, float y, float tolX, float tolY) {
    if (isVisible() && isPickable()) {
        const KtRect& b = m_Bounds;
        const bool near = !hasFlag(kBounded) || (b.x <= x + tolX && b.y <= y + tolY &&
                                                 x - tolX <= b.x + b.w && y - tolY <= b.y + b.h);
        if (near) {
            pushTransform();
            KtTObject* picked = pick(x, y, tolX, tolY);
            popTransform();
            if (picked != nullptr) return picked;
        }
    }
    m_pActive = nullptr;
    return nullptr;
}

int KtTObject::dispatchDrag(float x, float y) {
    if (m_pActive == this) return drag(x, y);
    if (m_pActive == nullptr) return 0;
    KtPoint local;
    toLocal(local, {x, y});
    pushTransform();
    const int result = m_pActive->dispatchDrag(local.x, local.y);
    popTransform();
    return result;
}

int KtTObject::dispatchPenDown(float x, float y) {
    if (m_pActive == this) return penDown(x, y);
    if (m_pActive == nullptr) return 0;
    KtPoint local;
    toLocal(local, {x, y});
    pushTransform();
    const int result = m_pActive->dispatchPenDown(local.x, local.y);
    popTransform();
    return result;
}

int KtTObject::dispatchPenUp() {
    if (m_pActive == this) return penUp();
    if (m_pActive == nullptr) return 0;
    pushTransform();
    const int result = m_pActive->dispatchPenUp();
    popTransform();
    return result;
}

int KtTObject::dispatchEnter(float x, float y) {
    if (m_pActive == this) return enter(x, y);
    if (m_pActive == nullptr) return 0;
    KtPoint local;
    toLocal(local, {x, y});
    pushTransform();
    const int result = m_pActive->dispatchEnter(local.x, local.y);
    popTransform();
    return result;
}

int KtTObject::dispatchLeave() {
    if (m_pActive == this) return leave();
    if (m_pActive == nullptr) return 0;
    pushTransform();
    const int result = m_pActive->dispatchLeave();
    popTransform();
    return result;
}

// --- KtTContainer -----------------------------------------------------------------------------

KtTContainer::~KtTContainer() {
    clear();
}

std::int32_t KtTContainer::getBounds(KtExtent& extent) {
    if (m_Children.empty()) {
        extent = {};
        m_nBoundsState = kNoChildren;
        return m_nBoundsState;
    }
    extent = KtExtent::empty();
    std::int32_t state = kNoChildren;
    m_Children.forEach([&](KtTObject* child) {
        if (!child->hasFlag(KtTObject::kBounded)) {
            state = kSomeUnbounded;
            return;
        }
        if (state == kNoChildren) state = kAllBounded;
        const KtRect& b = child->m_Bounds;
        extent.include(b.x, b.y);
        extent.include(b.x + b.w, b.y + b.h);
    });
    m_nBoundsState = state;
    return state;
}

KtTObject* KtTContainer::find(KtTObject* object) const {
    if (object == nullptr) return nullptr;
    return m_Children.contains(object) ? object : nullptr;
}

KtTObject* KtTContainer::pickChildren(float x, float y, float tolX, float tolY) {
    KtTObject* child = nullptr;
    m_Children.startFromBack();
    while (m_Children.next(child)) {
        KtTObject* picked = child->pickIfVisible(x, y, tolX, tolY);
        if (picked == nullptr) continue;
        m_pCurrent = picked == blockedMarker() ? nullptr : child;
        return picked;
    }
    m_pCurrent = nullptr;
    return nullptr;
}

void KtTContainer::drawChildren() {
    KtTObject* child = nullptr;
    m_Children.start();
    while (m_Children.next(child)) {
        if (child->isVisible()) child->draw();
    }
}

void KtTContainer::setManagerOfChildren(KtTManager* manager) {
    KtTObject* child = nullptr;
    m_Children.start();
    while (m_Children.next(child)) child->setManager(manager);
}

void KtTContainer::clear() {
    KtTObject* child = nullptr;
    m_Children.start();
    while (m_Children.next(child)) {
        child->setParent(nullptr);
        if (m_pHolderObject != nullptr && child->m_pHolder == m_pHolderObject)
            child->m_pHolder = nullptr;
    }
    if ((m_Flags & kOwnsChildren) != 0) {
        m_Children.start();
        while (m_Children.next(child)) {
            m_Children.remove(child);
            delete child;
        }
    }
    m_Children.clear();
    m_pCurrent = nullptr;
}

// --- KtTGroup ---------------------------------------------------------------------------------

KtTGroup::KtTGroup(const char* name) : KtTObject(name) {
    m_pHolderObject = this;
    // A group's bounds follow its children.
    setFlag(kPositionSettable, false);
    setFlag(kSizeSettable, false);
}

KtTGroup::~KtTGroup() = default;

KtTObject* KtTGroup::pick(float x, float y, float tolX, float tolY) {
    KtTObject* picked = pickChildren(x, y, tolX, tolY);
    m_pActive = m_pCurrent;
    if (picked == nullptr && (m_GroupFlags & kOpaque) != 0) return blockedMarker();
    return picked;
}

void KtTGroup::draw() {
    if (m_bThroughTransformStack) {
        glPushMatrix();
        applyAffine();
    }
    if ((m_GroupFlags & kDrawBackground) != 0) drawBackground();
    drawChildren();
    if (m_bThroughTransformStack) glPopMatrix();
}

int KtTGroup::drag(float /*x*/, float /*y*/) {
    return 0;
}
int KtTGroup::penDown(float /*x*/, float /*y*/) {
    return 0;
}
int KtTGroup::penUp() {
    return 0;
}
int KtTGroup::enter(float /*x*/, float /*y*/) {
    return 0;
}
int KtTGroup::leave() {
    return 0;
}

void KtTGroup::childChanged(KtTObject* /*child*/) {
    KtExtent extent;
    getBounds(extent);
    m_Bounds = {extent.xMin, extent.yMin, extent.xMax - extent.xMin, extent.yMax - extent.yMin};
    setFlag(kBounded, m_nBoundsState != kSomeUnbounded);
    if (m_pParent != nullptr) m_pParent->childChanged(this);
}

void KtTGroup::toLocal(KtPoint& out, const KtPoint& in) {
    out = in;
}

void KtTGroup::setManager(KtTManager* manager) {
    m_pManager = manager;
    setManagerOfChildren(manager);
}

int KtTGroup::add(KtTObject* child) {
    if (child == nullptr || find(child) != nullptr) return 0;
    const bool hadChildren = !m_Children.empty();
    if (!m_Children.append(child)) return 0;
    const bool childBounded = child->hasFlag(kBounded);
    m_nBoundsState = childBounded ? kAllBounded : kSomeUnbounded;
    setFlag(kBounded, childBounded);
    child->setManager(m_pManager);
    child->m_pParent = this;
    child->m_pHolder = this;
    if (childBounded) {
        const KtRect& c = child->m_Bounds;
        if (!hadChildren) {
            m_Bounds = c;
        } else {
            KtExtent joint{m_Bounds.x, m_Bounds.x + m_Bounds.w, m_Bounds.y,
                           m_Bounds.y + m_Bounds.h};
            joint.include(c.x, c.y);
            joint.include(c.x + c.w, c.y + c.h);
            m_Bounds = {joint.xMin, joint.yMin, joint.xMax - joint.xMin, joint.yMax - joint.yMin};
        }
    }
    return 1;
}

int KtTGroup::remove(KtTObject* child) {
    if (child == nullptr || !m_Children.remove(child)) return 0;
    // A removed child may be destroyed next; no pointer to it may stay behind.
    if (m_pCurrent == child) m_pCurrent = nullptr;
    if (m_pActive == child) m_pActive = nullptr;
    if (child->m_pHolder == this) child->m_pHolder = nullptr;
    child->setParent(nullptr);
    childChanged(child);
    return 1;
}

void KtTGroup::setActive(KtTObject* target) {
    KtTObject* active = target != nullptr ? target : this;
    m_pCurrent = active;
    m_pActive = active;
}

void KtTGroup::drawBackground() {
    setColour((m_GroupFlags & kDefaultGrey) != 0 ? OverlayGrey : m_BackgroundColour);
    drawRect(m_Bounds.x, m_Bounds.y, m_Bounds.x + m_Bounds.w, m_Bounds.y + m_Bounds.h);
}

}  // namespace pattix

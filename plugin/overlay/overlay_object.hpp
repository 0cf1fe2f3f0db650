// The retained overlay model: KtTObject (one on-screen control), KtTContainer (an ordered set of
// controls) and KtTGroup (a control made of controls). Containers never own their children in
// this system; a control's owner creates and destroys it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "plugin/overlay/draw.hpp"
#include "plugin/overlay/kt_list.hpp"

namespace pattix {

class KtTGroup;
class KtTManager;

struct KtRect {
    float x = 0.0f;
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
};

struct KtExtent {
    float xMin = 0.0f;
    float xMax = 0.0f;
    float yMin = 0.0f;
    float yMax = 0.0f;

    // The extent that takes in nothing yet.
    static KtExtent empty();
    void include(float x, float y);
    void include(const KtExtent& other);
};

class KtTObject;

// What a pick answers to stop the search: nothing is hit, and nothing below may be.
KtTObject* blockedMarker();
inline bool isObject(const KtTObject* picked) {
    return picked != nullptr && picked != blockedMarker();
}

class KtTObject : public KtTDraw {
public:
    // m_nState bits.
    static constexpr std::int32_t kPickable = 1;
    static constexpr std::int32_t kVisible = 2;
    // m_Flags bits.
    static constexpr std::uint8_t kBounded = 1;
    static constexpr std::uint8_t kPositionSettable = 2;
    static constexpr std::uint8_t kSizeSettable = 4;
    static constexpr std::uint8_t kPressed = 8;
    static constexpr std::uint8_t kHovered = 16;

    // The name is copied; without memory for the copy the object has none.
    explicit KtTObject(const char* name = nullptr) noexcept;
    KtTObject(const KtTObject&) = delete;
    KtTObject& operator=(const KtTObject&) = delete;

    // Results typed int: 0 nothing happened, nonzero the viewer must be redrawn.
    virtual KtTObject* pick(float x, float y, float tolX, float tolY) = 0;
    virtual void draw() = 0;
    virtual int drag(float x, float y) = 0;
    virtual void pushTransform();
    virtual void popTransform();
    virtual int penDown(float x, float y);
    virtual int penUp();
    virtual int enter(float x, float y);
    virtual int leave();
    virtual void drawLabel(const KtPoint& point);
    virtual void childChanged(KtTObject* child);
    virtual void toLocal(KtPoint& out, const KtPoint& in);
    // Leaves the group and the manager that still hold it, so that no container keeps a
    // dangling pointer when a control is destroyed before them.
    virtual ~KtTObject();
    virtual void setSize(float w, float h);
    virtual void setPosition(float x, float y);
    virtual void setManager(KtTManager* manager);
    virtual void setScale(float s);
    virtual void getMinSize(KtPoint& out);
    virtual void getMaxSize(KtPoint& out);
    virtual KtTObject* findByName(const char* name);
    virtual int add(KtTObject* child);
    virtual int remove(KtTObject* child);
    virtual void setActive(KtTObject* target);

    void setState(std::int32_t bits) { m_nState = bits; }
    void setParent(KtTGroup* group);
    void requestRedraw();
    // Copied and owned, like the name; null clears it.
    void setDescription(const char* description) noexcept;

    const char* name() const { return m_Name ? m_Name->c_str() : nullptr; }
    const char* description() const { return m_Description ? m_Description->c_str() : nullptr; }
    bool isVisible() const { return (m_nState & kVisible) != 0; }
    bool isPickable() const { return (m_nState & kPickable) != 0; }
    bool hasFlag(std::uint8_t flag) const { return (m_Flags & flag) != 0; }
    void setFlag(std::uint8_t flag, bool on) {
        m_Flags = static_cast<std::uint8_t>(on ? (m_Flags | flag) : (m_Flags & ~flag));
    }

    // Tries the object when it is visible, pickable and (when bounded) near the pen.
    KtTObject* pickIfVisible(float x, float y, float tolX, float tolY);
    // Route a pen event down the active chain to the object that takes it.
    int dispatchDrag(float x, float y);
    int dispatchPenDown(float x, float y);
    int dispatchPenUp();
    int dispatchEnter(float x, float y);
    int dispatchLeave();

    std::optional<std::string> m_Name;
    std::optional<std::string> m_Description;
    KtTManager* m_pManager = nullptr;
    KtTGroup* m_pParent = nullptr;
    KtTObject* m_pActive = nullptr;  // where pen events go: itself, a child, or nothing
    KtRect m_Bounds;                 // in the parent's units
    std::int32_t m_nState = kPickable | kVisible;
    float m_fScale = 1.0f;  // multiplies the pixel sizes of handles
    bool m_bThroughTransformStack = false;
    std::uint8_t m_Flags = kBounded | kPositionSettable | kSizeSettable;
    // Lifetime bookkeeping, not part of the model: the group whose child list holds the object
    // (its parent, or a KtT2DAxisGroup, which does not become its children's parent).
    KtTObject* m_pHolder = nullptr;
};

class KtTContainer {
public:
    static constexpr std::uint8_t kOwnsChildren = 1;
    // m_nBoundsState values.
    static constexpr std::int32_t kSomeUnbounded = 0;
    static constexpr std::int32_t kAllBounded = 1;
    static constexpr std::int32_t kNoChildren = 2;

    KtTContainer() = default;
    KtTContainer(const KtTContainer&) = delete;
    KtTContainer& operator=(const KtTContainer&) = delete;
    virtual ~KtTContainer();
    // The children's joint extent; answers (and stores) the bounds state.
    virtual std::int32_t getBounds(KtExtent& extent);

    KtTObject* find(KtTObject* object) const;
    void setCurrent(KtTObject* object) { m_pCurrent = object; }
    // Last added first: the object drawn on top wins.
    KtTObject* pickChildren(float x, float y, float tolX, float tolY);
    void drawChildren();
    void setManagerOfChildren(KtTManager* manager);
    void clear();

    KtList<KtTObject*> m_Children;
    KtTObject* m_pCurrent = nullptr;  // the top-level child the last pick found
    std::uint8_t m_Flags = 0;
    std::int32_t m_nBoundsState = kNoChildren;
    // The group whose children these are (it is their m_pHolder); null for the manager.
    KtTObject* m_pHolderObject = nullptr;
};

class KtTGroup : public KtTObject, public KtTContainer {
public:
    // m_GroupFlags bits.
    static constexpr std::uint8_t kDrawBackground = 1;
    static constexpr std::uint8_t kDefaultGrey = 2;
    static constexpr std::uint8_t kOpaque = 4;

    explicit KtTGroup(const char* name = nullptr);
    ~KtTGroup() override;

    KtTObject* pick(float x, float y, float tolX, float tolY) override;
    void draw() override;
    int drag(float x, float y) override;
    int penDown(float x, float y) override;
    int penUp() override;
    int enter(float x, float y) override;
    int leave() override;
    void childChanged(KtTObject* child) override;
    void toLocal(KtPoint& out, const KtPoint& in) override;
    void setManager(KtTManager* manager) override;
    int add(KtTObject* child) override;
    int remove(KtTObject* child) override;
    void setActive(KtTObject* target) override;
    virtual void drawBackground();

    OverlayColour m_BackgroundColour = OverlayGrey;
    std::uint8_t m_GroupFlags = kDrawBackground | kDefaultGrey | kOpaque;
};

}  // namespace pattix

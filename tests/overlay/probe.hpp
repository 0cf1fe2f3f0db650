// Pen events, and a test control that answers picks by its bounds and records what the model asks
// of it.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plugin/overlay/manager.hpp"
#include "plugin/overlay/message.hpp"
#include "plugin/overlay/overlay_object.hpp"

namespace pattix::test {

inline KtMessage penMessage(std::int32_t type, float x, float y) {
    KtMessage message(type);
    message.setPoint(x, y);
    return message;
}
// Pen events through the manager; each answers whether the viewer must be redrawn.
inline bool press(KtTManager& manager, float x, float y) {
    return manager.handleEvent(penMessage(PenDown, x, y));
}
inline bool move(KtTManager& manager, float x, float y) {
    return manager.handleEvent(penMessage(PenMove, x, y));
}
inline bool release(KtTManager& manager, float x, float y) {
    return manager.handleEvent(penMessage(PenUp, x, y));
}

struct Probe : KtTObject {
    explicit Probe(const char* name, KtRect bounds = {}, std::vector<std::string>* shared = nullptr)
        : KtTObject(name), journal(shared) {
        m_Bounds = bounds;
    }

    // Hit when the pen lies in the bounds grown by the tolerance, or always when told so.
    KtTObject* pick(float x, float y, float tolX, float tolY) override {
        ++picks;
        const KtRect& b = m_Bounds;
        if (alwaysHit ||
            (b.x - tolX <= x && x <= b.x + b.w + tolX && b.y - tolY <= y && y <= b.y + b.h + tolY))
            return setActive(nullptr), this;
        return nullptr;
    }
    void draw() override { log("draw", onDraw); }
    int drag(float x, float y) override { return log("drag", {}, KtPoint{x, y}), dragResult; }
    int penDown(float x, float y) override {
        log("penDown", onPenDown, KtPoint{x, y});
        return KtTObject::penDown(x, y);
    }
    int penUp() override { return log("penUp"), KtTObject::penUp(); }
    int enter(float x, float y) override {
        return log("enter", {}, KtPoint{x, y}), KtTObject::enter(x, y);
    }
    int leave() override { return log("leave"), KtTObject::leave(); }
    void drawLabel(const KtPoint& point) override { log("drawLabel", {}, point); }

    // Records the event and the point it came with, if any, then runs the hook.
    void log(const char* what, const std::function<void()>& then = {},
             std::optional<KtPoint> point = {}) {
        events.emplace_back(what);
        if (point) lastPoint = *point;
        if (journal != nullptr) journal->push_back(std::string(name()) + "." + what);
        if (then) then();
    }
    int count(const std::string& what) const {
        return static_cast<int>(std::count(events.begin(), events.end(), what));
    }

    std::vector<std::string>* journal;
    std::vector<std::string> events;
    bool alwaysHit = false;
    int picks = 0;
    int dragResult = 1;
    KtPoint lastPoint;
    std::function<void()> onDraw;
    std::function<void()> onPenDown;
};

}  // namespace pattix::test

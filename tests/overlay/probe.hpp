// Pen events, and a test control that answers picks by its bounds and records what the model asks
// of it.
#pragma once

#include <algorithm>
#include <functional>
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
    explicit Probe(const char* name, KtRect bounds = {},
                   std::vector<std::string>* sharedJournal = nullptr)
        : KtTObject(name), journal(sharedJournal) {
        m_Bounds = bounds;
    }

    // Hit when the pen lies in the bounds grown by the tolerance (so it answers every pick that
    // reaches it through the bounds test), unless told otherwise.
    KtTObject* pick(float x, float y, float tolX, float tolY) override {
        ++picks;
        lastPick = {x, y};
        if (answer != nullptr) return answer;
        const KtRect& b = m_Bounds;
        const bool inside =
            b.x - tolX <= x && x <= b.x + b.w + tolX && b.y - tolY <= y && y <= b.y + b.h + tolY;
        if (!inside && !alwaysHit) return nullptr;
        setActive(nullptr);
        return this;
    }
    void draw() override {
        log("draw");
        if (onDraw) onDraw();
    }
    int drag(float x, float y) override {
        log("drag");
        lastPoint = {x, y};
        return dragResult;
    }
    int penDown(float x, float y) override {
        log("penDown");
        lastPoint = {x, y};
        if (onPenDown) onPenDown();
        return KtTObject::penDown(x, y);
    }
    int penUp() override {
        log("penUp");
        return KtTObject::penUp();
    }
    int enter(float x, float y) override {
        log("enter");
        lastPoint = {x, y};
        return KtTObject::enter(x, y);
    }
    int leave() override {
        log("leave");
        return KtTObject::leave();
    }
    void drawLabel(const KtPoint& point) override {
        log("drawLabel");
        labelPoint = point;
    }

    void log(const char* what) {
        events.emplace_back(what);
        if (journal != nullptr) journal->push_back(std::string(name() ? name() : "?") + "." + what);
    }
    int count(const std::string& what) const {
        return static_cast<int>(std::count(events.begin(), events.end(), what));
    }

    std::vector<std::string>* journal;
    std::vector<std::string> events;
    KtTObject* answer = nullptr;
    bool alwaysHit = false;
    int picks = 0;
    int dragResult = 1;
    KtPoint lastPick;
    KtPoint lastPoint;
    KtPoint labelPoint{-1.0f, -1.0f};
    std::function<void()> onDraw;
    std::function<void()> onPenDown;
};

}  // namespace pattix::test

#include "sdk/host/undo.hpp"

#include <algorithm>

#include "sdk/host/image_effect.hpp"
#include "sdk/platform/call_log.hpp"

namespace sdk::host {

void UndoStack::beginGroup(const std::wstring& label) {
    std::lock_guard lock(m_Mutex);
    if (m_GroupDepth++ == 0) {
        m_GroupLabel = label;
        m_GroupHasEvent = false;
    }
}

void UndoStack::endGroup() {
    std::lock_guard lock(m_Mutex);
    if (m_GroupDepth > 0 && --m_GroupDepth == 0) m_GroupHasEvent = false;
}

bool UndoStack::groupOpen() const {
    std::lock_guard lock(m_Mutex);
    return m_GroupDepth > 0;
}

void UndoStack::record(const UndoChange& change, bool append) {
    std::lock_guard lock(m_Mutex);
    if (m_Replaying) return;
    m_Redo.clear();
    if (append && m_GroupDepth > 0) {
        if (!m_GroupHasEvent) {
            m_Undo.push_back({m_GroupLabel, {}});
            m_GroupHasEvent = true;
        }
        m_Undo.back().changes.push_back(change);
        return;
    }
    m_Undo.push_back({{}, {change}});
    // A write outside the group ends the group's event: later appends start a new one.
    m_GroupHasEvent = false;
}

bool UndoStack::replay(std::vector<Event>& from, std::vector<Event>& to, bool backwards) {
    std::vector<UndoChange> changes;
    {
        std::lock_guard lock(m_Mutex);
        if (from.empty() || m_Replaying) return false;
        Event event = std::move(from.back());
        from.pop_back();
        changes = event.changes;
        to.push_back(std::move(event));
        m_Replaying = true;
        m_GroupHasEvent = false;
    }
    // Written outside the lock: each write tells the pages, which may read the stack.
    if (backwards) std::reverse(changes.begin(), changes.end());
    for (const UndoChange& change : changes) {
        change.effect->SetPlainProperty(change.property, backwards ? change.before : change.after);
    }
    std::lock_guard lock(m_Mutex);
    m_Replaying = false;
    return true;
}

bool UndoStack::undo() {
    hostCall("UndoStack::undo");
    return replay(m_Undo, m_Redo, true);
}

bool UndoStack::redo() {
    hostCall("UndoStack::redo");
    return replay(m_Redo, m_Undo, false);
}

std::size_t UndoStack::undoCount() const {
    std::lock_guard lock(m_Mutex);
    return m_Undo.size();
}

std::size_t UndoStack::redoCount() const {
    std::lock_guard lock(m_Mutex);
    return m_Redo.size();
}

std::wstring UndoStack::undoLabel() const {
    std::lock_guard lock(m_Mutex);
    return m_Undo.empty() ? std::wstring() : m_Undo.back().label;
}

std::vector<UndoChange> UndoStack::lastEvent() const {
    std::lock_guard lock(m_Mutex);
    return m_Undo.empty() ? std::vector<UndoChange>() : m_Undo.back().changes;
}

void UndoStack::clear() {
    std::lock_guard lock(m_Mutex);
    m_Undo.clear();
    m_Redo.clear();
    m_GroupHasEvent = false;
}

void UndoStack::forget(const CDSImageEffectEx* effect) {
    std::lock_guard lock(m_Mutex);
    for (auto* events : {&m_Undo, &m_Redo}) {
        for (Event& event : *events) {
            std::erase_if(event.changes, [&](const UndoChange& c) { return c.effect == effect; });
        }
    }
    if (m_GroupHasEvent && m_Undo.back().changes.empty()) m_GroupHasEvent = false;
    for (auto* events : {&m_Undo, &m_Redo}) {
        std::erase_if(*events, [](const Event& e) { return e.changes.empty(); });
    }
}

UndoStack& undoStack() {
    static UndoStack* stack = new UndoStack();
    return *stack;
}

}  // namespace sdk::host

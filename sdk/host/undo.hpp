// The host's undo stack. Property writes that pages make under an undo style are recorded as
// undo events; writes made between a group's begin and end form one event. Undo and redo write
// the recorded values back through the effect's property machinery, which tells the pages.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/platform/guid.hpp"
#include "sdk/platform/variant.hpp"

class CDSImageEffectEx;

namespace sdk::host {

struct UndoChange {
    CDSImageEffectEx* effect;  // not held: an effect that goes is forgotten by the stack
    GUID property;
    VARIANT before;
    VARIANT after;
};

class SDK_API UndoStack {
public:
    // Opens a group (groups nest; the outermost names the event). Changes recorded with
    // `append` while it is open join one event.
    void beginGroup(const std::wstring& label);
    void endGroup();
    bool groupOpen() const;

    // A change made by a write; a new event unless `append` and a group is open. Clears redo.
    void record(const UndoChange& change, bool append);

    // Writes the before (undo) or after (redo) values of the last event back; false when there
    // is nothing to undo or redo.
    bool undo();
    bool redo();

    std::size_t undoCount() const;
    std::size_t redoCount() const;
    // The label of the event undo would take back; empty when none.
    std::wstring undoLabel() const;
    // The changes of the event undo would take back, in the order they were made.
    std::vector<UndoChange> lastEvent() const;

    void clear();
    // Drops every change of an effect that is going away.
    void forget(const CDSImageEffectEx* effect);

private:
    struct Event {
        std::wstring label;
        std::vector<UndoChange> changes;
    };
    bool replay(std::vector<Event>& from, std::vector<Event>& to, bool backwards);

    mutable std::recursive_mutex m_Mutex;
    std::vector<Event> m_Undo;
    std::vector<Event> m_Redo;
    int m_GroupDepth = 0;
    std::wstring m_GroupLabel;
    bool m_GroupHasEvent = false;  // the open group's event is on top of m_Undo
    bool m_Replaying = false;
};

// The host's one undo stack.
SDK_API UndoStack& undoStack();

}  // namespace sdk::host

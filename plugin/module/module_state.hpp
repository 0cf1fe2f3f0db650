// Module-wide state: the instance handle, the module reference count and the per-class
// counter pointers that factories and objects change.
#pragma once

#include <atomic>

#include "sdk/platform/types.hpp"

namespace pattix {

// Recorded by DllMain at process attach; used to load strings and bitmaps and to register.
HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);
// Where the handle is kept, for host records that load texts later (parameter definitions).
const HINSTANCE* moduleInstanceHandle();

// Live factories, live objects and outstanding server locks.
std::atomic<LONG>& moduleCount();

// Each class's counter pointer stays null until its first factory is made, then points at
// the module count.
template <class T>
struct ClassCounter {
    static inline std::atomic<std::atomic<LONG>*> pointer{nullptr};

    static void attach() {
        std::atomic<LONG>* expected = nullptr;
        pointer.compare_exchange_strong(expected, &moduleCount());
    }
    // Increments when the pointer is set; answers whether it did.
    static bool increment() {
        std::atomic<LONG>* counter = pointer.load();
        if (counter == nullptr) return false;
        ++*counter;
        return true;
    }
    static void decrement() {
        if (std::atomic<LONG>* counter = pointer.load()) --*counter;
    }
};

// The four host control-notification messages, registered at load time.
struct ControlMessages {
    UINT notify;
    UINT notifyComplete;
    UINT scrub;
    UINT tooltip;
};
const ControlMessages& controlMessages();

}  // namespace pattix

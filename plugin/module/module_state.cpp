#include "plugin/module/module_state.hpp"

#include "sdk/platform/com.hpp"

namespace pattix {
namespace {

std::atomic<HINSTANCE> g_instance{nullptr};

ControlMessages registerControlMessages() {
    return {RegisterWindowMessageW(L"DSCTLNOTIFY"), RegisterWindowMessageW(L"DSCTLNOTIFYCOMP"),
            RegisterWindowMessageW(L"DSCTLSCRUB"), RegisterWindowMessageW(L"DSCTLTOOLTIP")};
}

// Registered at load, before the host can call anything, as the host's control declarations
// expect.
const ControlMessages g_controlMessages = registerControlMessages();

}  // namespace

HINSTANCE moduleInstance() { return g_instance.load(); }
void setModuleInstance(HINSTANCE instance) { g_instance.store(instance); }

std::atomic<LONG>& moduleCount() {
    static std::atomic<LONG> count{0};
    return count;
}

const ControlMessages& controlMessages() { return g_controlMessages; }

}  // namespace pattix

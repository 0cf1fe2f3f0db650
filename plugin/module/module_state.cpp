#include "plugin/module/module_state.hpp"

#include "sdk/platform/com.hpp"

namespace pattix {
namespace {

// Written once by DllMain at process attach, before the host can start any other thread
// that reads it.
HINSTANCE g_instance = nullptr;

ControlMessages registerControlMessages() {
    return {RegisterWindowMessageW(L"DSCTLNOTIFY"), RegisterWindowMessageW(L"DSCTLNOTIFYCOMP"),
            RegisterWindowMessageW(L"DSCTLSCRUB"), RegisterWindowMessageW(L"DSCTLTOOLTIP")};
}

// Registered at load, before the host can call anything, as the host's control declarations
// expect.
const ControlMessages g_controlMessages = registerControlMessages();

}  // namespace

HINSTANCE moduleInstance() {
    return g_instance;
}
void setModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}
const HINSTANCE* moduleInstanceHandle() {
    return &g_instance;
}

std::atomic<LONG>& moduleCount() {
    static std::atomic<LONG> count{0};
    return count;
}

const ControlMessages& controlMessages() {
    return g_controlMessages;
}

}  // namespace pattix

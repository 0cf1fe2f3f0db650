// Ctrl-C (SIGINT) and SIGTERM during a run: the handler asks the host's execution context to
// stop, so the module's render ends through its interrupt path, and the run then ends with
// Interrupted instead of being killed with its temporary files in place.
#pragma once

#include "sdk/host/render_context.hpp"

namespace pattix::cli {

class StopSignal {
public:
    // Installs the handlers (without SA_RESTART, so a blocked write returns) for its lifetime.
    explicit StopSignal(sdk::host::HostExecutionContext& context);
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;
    // Restores the handlers that were there before.
    ~StopSignal();

    // The signal that asked for a stop, 0 while none has.
    static int received();
    // Throws Interrupted once a signal has asked for a stop.
    static void throwIfReceived();
};

}  // namespace pattix::cli

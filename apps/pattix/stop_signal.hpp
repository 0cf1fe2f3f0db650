// The signals that end a run early: Ctrl-C (SIGINT), SIGTERM, a closed terminal (SIGHUP),
// Ctrl-\ (SIGQUIT) and the file-size limit (SIGXFSZ). The handler asks the host's execution
// context to stop, so the module's render ends through its interrupt path, and the run then ends
// with Interrupted, its unfinished files removed, instead of being killed with them in place.
#pragma once

#include "sdk/host/render_context.hpp"

namespace pattix::cli {

class StopSignal {
public:
    // Installs the handlers (without SA_RESTART, so a blocked write returns) for its lifetime.
    // A signal that was ignored when the program started stays ignored, as shells start
    // background jobs (nohup, `&` without job control).
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

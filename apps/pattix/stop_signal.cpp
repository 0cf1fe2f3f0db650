#include "apps/pattix/stop_signal.hpp"

#include <signal.h>

#include <atomic>
#include <csignal>

#include "apps/host/errors.hpp"

namespace pattix::cli {
namespace {

std::atomic<sdk::host::HostExecutionContext*> g_context{nullptr};
volatile std::sig_atomic_t g_signal = 0;
static_assert(std::atomic<sdk::host::HostExecutionContext*>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};
struct sigaction g_previous[std::size(kStopSignals)];
bool g_installed[std::size(kStopSignals)];

extern "C" void onStopSignal(int signalNumber) {
    g_signal = signalNumber;
    // requestStop is a relaxed store to an atomic flag: safe in a signal handler.
    if (auto* context = g_context.load()) context->requestStop();
}

}  // namespace

StopSignal::StopSignal(sdk::host::HostExecutionContext& context) {
    g_context.store(&context);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        sigaction(kStopSignals[i], nullptr, &g_previous[i]);
        g_installed[i] = g_previous[i].sa_handler != SIG_IGN;
        if (g_installed[i]) sigaction(kStopSignals[i], &action, nullptr);
    }
}

StopSignal::~StopSignal() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        if (g_installed[i]) sigaction(kStopSignals[i], &g_previous[i], nullptr);
    }
    g_context.store(nullptr);
}

int StopSignal::received() {
    return g_signal;
}

void StopSignal::throwIfReceived() {
    if (const int signalNumber = g_signal) throw host::Interrupted(signalNumber);
}

}  // namespace pattix::cli

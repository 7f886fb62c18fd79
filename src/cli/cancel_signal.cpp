#include "cli/cancel_signal.h"

#include <atomic>
#include <csignal>

namespace velanox::cli {

namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int signalNumber) {
    if (g_cancel.exchange(true)) {
        // A second interrupt: the person does not want to wait for the running files.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
}

} // namespace

void installCancelHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool cancelRequested() {
    return g_cancel.load(std::memory_order_relaxed);
}

void requestCancel() {
    g_cancel.store(true);
}

} // namespace velanox::cli

#include "stop_signals.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quorvel::cli {
namespace {

// Set by the signal handler: only lock-free atomics may be touched there.
std::atomic<bool> signalled{false};
std::atomic<bool> urgent{false};  // a second signal: stop waiting for the device
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32
void onStopSignal(int sig) {
    signalled.store(true);
    std::signal(sig, SIG_DFL);  // the next one ends the tool
}
#else
constexpr char kNotice[] =
    "\nquorvel-flash: stopping after the message on the line; press Ctrl-C again to stop "
    "waiting for the device\n";
constexpr char kUrgentNotice[] =
    "\nquorvel-flash: no longer waiting for the device; press Ctrl-C again to end at once\n";
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The first signal stops the exchanges after the message on the line; the second ends the
// wait for its answer at once (the device's state and the record are still written); the
// third ends the tool. sigaction and write are async-signal-safe.
void onStopSignal(int) {
    const bool second = signalled.exchange(true);
    if (second) {
        urgent.store(true);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        for (int sig : kStopSignals) sigaction(sig, &dfl, nullptr);
    }
    const char* notice = second ? kUrgentNotice : kNotice;
    const size_t length = second ? sizeof kUrgentNotice - 1 : sizeof kNotice - 1;
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, notice, length);
}
#endif

}  // namespace

void watchStopSignals() {
#ifdef _WIN32
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#else
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SIGHUP too: a closed terminal or a dropped SSH session ends a station as SIGTERM does.
    for (int sig : kStopSignals) sigaction(sig, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
#endif
}

bool stopUrgently() {
    return urgent.load();
}

StopCause stopCause() {
    if (signalled.load()) return StopCause::Signal;
    if (std::ferror(stdout) != 0 || std::ferror(stderr) != 0) return StopCause::OutputFailed;
    return StopCause::None;
}

}  // namespace quorvel::cli

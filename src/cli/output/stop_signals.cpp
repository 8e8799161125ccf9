#include "stop_signals.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quorvel::cli {
namespace {

// Set by the signal handler: only a lock-free atomic may be touched there.
std::atomic<bool> signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32
void onStopSignal(int sig) {
    signalled.store(true);
    std::signal(sig, SIG_DFL);  // the next one ends the tool
}
#else
constexpr char kNotice[] =
    "\nquorvel-flash: stopping after the message on the line; press Ctrl-C again to end at "
    "once\n";

void onStopSignal(int) {
    signalled.store(true);
    // The next SIGINT or SIGTERM ends the tool; sigaction and write are async-signal-safe.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGINT, &dfl, nullptr);
    sigaction(SIGTERM, &dfl, nullptr);
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kNotice, sizeof kNotice - 1);
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
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
#endif
}

StopCause stopCause() {
    if (signalled.load()) return StopCause::Signal;
    if (std::ferror(stdout) != 0 || std::ferror(stderr) != 0) return StopCause::OutputFailed;
    return StopCause::None;
}

}  // namespace quorvel::cli

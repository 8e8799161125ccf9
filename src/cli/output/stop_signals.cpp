#include "stop_signals.h"

#include <atomic>
#include <cstdio>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <csignal>
#endif

namespace quorvel::cli {
namespace {

// Set by the signal handler: only lock-free atomics may be touched there.
std::atomic<bool> signalled{false};
std::atomic<bool> urgent{false};  // a second signal: stop waiting for the device
std::atomic<int> onTheLine{0};    // devices being talked to
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// The notices of a stop; the first one's when no device is being talked to says there is
// nothing to wait for.
constexpr std::string_view kIdleNotice = "\nquorvel-flash: stopping; no device is being written\n";
constexpr std::string_view kNotice =
    "\nquorvel-flash: stopping after the message on the line; press Ctrl-C again to stop "
    "waiting for the device\n";
constexpr std::string_view kUrgentNotice =
    "\nquorvel-flash: no longer waiting for the device; press Ctrl-C again to end at once\n";

std::string_view stopNotice(bool second) {
    return second ? kUrgentNotice : onTheLine.load() == 0 ? kIdleNotice : kNotice;
}

#ifdef _WIN32
// How long a closing console, a logoff or a shutdown is held off while the exchange on the
// line ends and the outcome is reported and recorded. Windows ends the process itself after
// its own limit (about 5 s for a closed console window), whichever comes first.
constexpr DWORD kCloseGraceMs = 20000;

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: {
            // The second stops waiting for the device's answer; a third Ctrl-C or Ctrl-Break
            // goes to the default handler, which ends the tool at once.
            const bool second = signalled.exchange(true);
            if (second && urgent.exchange(true)) return FALSE;
            const std::string_view notice = stopNotice(second);
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), notice.data(),
                      static_cast<DWORD>(notice.size()), &written, nullptr);
            return TRUE;
        }
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // Returning would let the system end the process now, in the middle of a frame.
            // Instead this thread waits while the main one stops between frames, reports and
            // records; when the main one returns the process ends and this wait with it.
            signalled.store(true);
            Sleep(kCloseGraceMs);
            return FALSE;
        default:
            return FALSE;
    }
}
#else
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
    const std::string_view notice = stopNotice(second);
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, notice.data(), notice.size());
}
#endif

}  // namespace

void watchStopSignals() {
#ifdef _WIN32
    // Ctrl-C, Ctrl-Break and closing the console window (or logging off) all come through the
    // console's control handler; a console program gets no SIGTERM.
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
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
    // A file-size limit (ulimit -f) would end the tool in the middle of a record line or a
    // transcript; ignored, the write fails with EFBIG, the line is cut back and the run says so.
    sigaction(SIGXFSZ, &ignore, nullptr);
#endif
}

OnTheLine::OnTheLine() {
    onTheLine.fetch_add(1);
}

OnTheLine::~OnTheLine() {
    onTheLine.fetch_sub(1);
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

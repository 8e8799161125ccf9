// quorvel-loader-sim: a simulated Quorvel flash loader behind a pseudo-terminal.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "pty_port.h"
#include "quorvel_version.h"
#include "safe_file.h"
#include "session.h"
#include "sim_clock.h"
#include "sim_options.h"

using namespace quorvel::sim;

namespace {

volatile sig_atomic_t gStopSignal = 0;

void onSignal(int) {
    gStopSignal = 1;
}

// Blocks the stop signals except while waiting in ppoll, so they end a wait and nothing else.
sigset_t setUpSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigset_t stops;
    sigemptyset(&stops);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &sa, nullptr);
        sigaddset(&stops, sig);
    }
    sigset_t waiting;
    sigprocmask(SIG_BLOCK, &stops, &waiting);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&waiting, sig);
    // A simulator must not outlive the test that started it.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) gStopSignal = 1;
    // Wake-ups as precise as the clock allows, for --pace.
    prctl(PR_SET_TIMERSLACK, 1UL);
    return waiting;
}

bool writeDump(const std::string& path, const std::vector<uint8_t>& flash) {
    const quorvel::OpenedFile opened =
        quorvel::openFileForWriting(path, quorvel::FileWrite::Truncate);
    std::FILE* f = opened.fd < 0 ? nullptr : quorvel::streamOf(opened.fd, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(flash.data(), 1, flash.size(), f) == flash.size();
    return std::fclose(f) == 0 && ok;
}

// Serves the line until a stop signal, a close-after fault or a broken pty.
void serve(PtyPort& port, Session& session, ReplyQueue& queue, const sigset_t& waitMask) {
    const int fd = port.masterFd();
    std::array<uint8_t, 4096> buf{};
    bool blocked = false;
    while (!gStopSignal && !session.closeRequested()) {
        if (!blocked) {
            const auto result = queue.writeDue(fd, monotonicNs());
            if (result == ReplyQueue::WriteResult::Failed) return;
            blocked = result == ReplyQueue::WriteResult::Blocked;
        }
        pollfd p{fd, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
        timespec timeout{};
        timespec* wait = nullptr;
        if (!blocked && !queue.empty()) {
            const int64_t left = queue.nextDueNs() - monotonicNs();
            timeout = toTimespec(left > 0 ? left : 0);
            wait = &timeout;
        }
        if (ppoll(&p, 1, wait, &waitMask) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (p.revents & (POLLERR | POLLNVAL)) return;
        if (p.revents & POLLOUT) blocked = false;
        if (p.revents & POLLIN) {
            const ssize_t n = read(fd, buf.data(), buf.size());
            if (n > 0) {
                session.receive(buf.data(), static_cast<size_t>(n), monotonicNs());
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                return;
            }
        } else if (p.revents & POLLHUP) {
            // Nobody holds the slave for a moment; do not spin on the hang-up.
            usleep(10'000);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<SimOptions> options =
        parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr,
                     "quorvel-loader-sim: %s\n(quorvel-loader-sim --help lists the options)\n",
                     error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        printSimHelp(stdout);
        return kExitOk;
    }
    if (options->version) {
        std::printf("quorvel-loader-sim %s\n", quorvel::kVersion);
        return kExitOk;
    }
    const sigset_t waitMask = setUpSignals();
    const int64_t startNs = monotonicNs();

    PtyPort port;
    Transcript transcript;
    if (!port.open(error)) {
        std::fprintf(stderr, "quorvel-loader-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    if (!options->log.empty() && !transcript.open(options->log, startNs)) {
        std::fprintf(stderr, "quorvel-loader-sim: cannot write %s\n", options->log.c_str());
        return kExitFailure;
    }
    if (!options->link.empty() && !makePortLink(options->link, port.slavePath(), error)) {
        std::fprintf(stderr, "quorvel-loader-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    std::printf("%s\n", port.slavePath().c_str());
    std::fflush(stdout);
    transcript.start(monotonicNs(), port.slavePath());

    LoaderModel model(options->inputLowPins);
    FaultTable faults(options->faults);
    ReplyQueue queue;
    Session session(
        model, faults, transcript, queue, [&port] { return port.lineSpeed(); },
        SessionTiming{options->pace, options->packetBytes, options->packetGapMs});
    serve(port, session, queue, waitMask);

    // The link goes before the pseudo-terminal: once closed, its number is free for the next
    // one opened on this machine, and a link left pointing at it would present that other
    // device at this board's place, as a by-id link never outlives its adapter.
    const std::string slave = port.slavePath();
    if (!options->link.empty()) removePortLink(options->link, slave);
    port.close();
    int status = kExitOk;
    if (!options->dump.empty() && !writeDump(options->dump, model.flash())) {
        std::fprintf(stderr, "quorvel-loader-sim: cannot write %s\n", options->dump.c_str());
        status = kExitFailure;
    }
    transcript.end(monotonicNs(), session.closeRequested() ? "close-after"
                                  : gStopSignal            ? "signal"
                                                           : "pty-error");
    return status;
}

#pragma once
// Ctrl-C, SIGTERM, SIGHUP and a closed output while a device command talks to the device. A
// frame cut in half, or a reply not waited for, leaves the device in a state nobody knows; so
// the first signal only asks the exchanges to stop after the message on the line (the loader
// asks stopRequestedByUser() before every send), a second one stops waiting for that message's
// answer (the device's state is still said and recorded), and a third ends the tool at once.
// SIGPIPE is ignored: a reader that went away (quorvel-flash write ... | head -1) shows as a
// failed write to standard output or error, which stops the exchanges the same way. SIGXFSZ is
// ignored too: a file grown past the size limit (ulimit -f) fails its write instead.
// On Windows the console's control events take the place of the signals: Ctrl-C and Ctrl-Break
// act as SIGINT, and closing the console window, logging off or shutting down as SIGTERM (the
// system waits a few seconds for the tool to stop, report and record before it ends it).

#include "interruption_report.h"

namespace quorvel::cli {

// Installs the handlers of SIGINT, SIGTERM and SIGHUP and ignores SIGPIPE and SIGXFSZ (on Windows,
// the console control handler). Call once, after the confirmation and before the first exchange.
void watchStopSignals();

// Why the exchanges should stop, if they should: a signal came, or standard output or error
// could not be written. Any thread may ask.
StopCause stopCause();

// Marks a device being talked to for as long as it lives, so that a stop's notice says what
// it waits for: the message on the line, or nothing (a station waiting for its next device).
class OnTheLine {
  public:
    OnTheLine();
    ~OnTheLine();
    OnTheLine(const OnTheLine&) = delete;
    OnTheLine& operator=(const OnTheLine&) = delete;
};

// The stop source for Loader::stopWhen().
inline bool stopRequestedByUser() {
    return stopCause() != StopCause::None;
}

// A second signal came: the wait for the device's answer ends at once
// (Loader::abortWaitsWhen()).
bool stopUrgently();

}  // namespace quorvel::cli

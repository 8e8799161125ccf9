#pragma once
// Ctrl-C, SIGTERM and a closed output while a device command talks to the device. A frame cut
// in half, or a reply not waited for, leaves the device in a state nobody knows; so the first
// SIGINT or SIGTERM only asks the exchanges to stop after the message on the line (the loader
// asks stopRequestedByUser() before every send), and a second one ends the tool at once.
// SIGPIPE is ignored: a reader that went away (quorvel-flash write ... | head -1) shows as a
// failed write to standard output or error, which stops the exchanges the same way.

namespace quorvel::cli {

enum class StopCause { None, Signal, OutputFailed };

// Installs the handlers of SIGINT and SIGTERM and ignores SIGPIPE. Call once, after the
// confirmation and before the first exchange.
void watchStopSignals();

// Why the exchanges should stop, if they should: a signal came, or standard output or error
// could not be written. Any thread may ask.
StopCause stopCause();

// The stop source for Loader::stopWhen().
inline bool stopRequestedByUser() {
    return stopCause() != StopCause::None;
}

}  // namespace quorvel::cli

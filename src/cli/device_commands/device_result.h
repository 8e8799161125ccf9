#pragma once
// How a device command's run on one port ended: the one result that its text, its JSON object,
// its record line, its row in the table of several devices and its station line are made of.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exchange_settings.h"
#include "rewrite_outcome.h"
#include "step_record.h"

namespace quorvel::cli {

struct DeviceResult {
    ExchangeSettings settings;
    std::string port;  // as named on the command line ("COM2", "/dev/ttyUSB1")
    std::string unit;  // the board's unit id (--unit, a station's scan), or empty
    OutcomeSeverity severity = OutcomeSeverity::Failure;
    std::optional<RewriteOutcome> rewrite;  // write: how the rewrite ended
    std::vector<StepRecord> steps;          // in order; a failed run ends with its failed step
    std::string answer;                     // pin: the answer in words ("output low", "NG")
    std::string interruption;  // stopped on request: where, and what that leaves on the device
    // What went wrong, for the JSON report and the record: where the run was stopped, or the
    // failed step with its status and attempts, then what it saw (the device's state apart).
    std::vector<std::string> diagnosis;
    // write: what it leaves on the device, the warnings beside its outcome (answers that did
    // not confirm their frames, the end unanswered) and the erase and block answers concerned.
    std::string deviceState;
    std::vector<std::string> warnings;
    std::vector<UnconfirmedAnswer> unconfirmed;
    std::string transcriptFailure;  // why the transcript could not be written
    std::string recordFailure;      // why the record line could not be added
    double ms = 0;
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;

    // The device took what was sent (for write: success or unconfirmed).
    bool ok() const { return severity <= OutcomeSeverity::Unconfirmed; }
    // The outcome's row; a step command, which is no rewrite, has only its name and severity.
    const OutcomeFacts& outcome() const { return rewrite ? Outcome(*rewrite) : Outcome(severity); }
    // The step the run ended on when it failed or was stopped; null otherwise.
    const StepRecord* failedStep() const { return ok() || steps.empty() ? nullptr : &steps.back(); }
};

}  // namespace quorvel::cli

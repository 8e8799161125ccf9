#pragma once
// How a device command's run on one port ended: the one result that its text, its JSON object,
// its record line, its row in the table of several devices and its station line are made of.
// It is settled here from what the rewrite or the step command left, and its reports are made
// of it here, the same for every front end that runs devices.

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exchange_settings.h"
#include "image_identity.h"
#include "interruption_report.h"
#include "memory_image.h"
#include "rewrite_flow.h"
#include "rewrite_outcome.h"
#include "step_record.h"

namespace quorvel {

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

// Settles `r` with how the rewrite of `image` ended (`write`): its outcome, the device's state
// ending with `again` (what to do next, in the caller's words), the warnings and, when it was
// stopped for `cause`, where; then what went wrong.
void SettleRewrite(DeviceResult& r, RewriteResult write, const MemoryImage& image,
                   const std::string& again, StopCause cause);

// Settles `r` with how a step command's one exchange, the last of r.steps, ended: the pin's
// answer, and where it stopped when the step says so or `urgent` (a second stop request) came
// for `cause`; then what went wrong.
void SettleStep(DeviceResult& r, const MemoryImage& image, bool urgent, StopCause cause);

// What a device's run reports, composed once here for every front end that prints it.
struct DeviceReport {
    std::vector<std::string> text;       // the outcome: the pin's answer, a write's headline
    std::optional<std::string> message;  // a write's outcome in the window's words
    std::vector<std::string> warnings;   // beside the outcome: doubtful answers, a lost transcript
    std::vector<std::string> unconfirmed;  // a write's unconfirmed answers, a line each
    std::vector<std::string> wentWrong;  // where it stopped or what failed, then the device's state
    std::string port;  // beside what went wrong: the port as it stands now (a run alone only)
    QJsonObject json;  // the device's part of the JSON report (docs/json.md)
};

// The report of `result`; `alone`: the only device of its command, whose port is described again
// beside what went wrong (an adapter pulled out during the run is no longer there).
DeviceReport ReportDevice(const DeviceResult& result, bool alone);

// A file name as a JSON string, decoded the way Qt decodes file names.
QJsonValue jsonPath(const std::string& path);
// A duration in milliseconds, to a tenth.
QJsonValue jsonMilliseconds(double ms);
// A list of texts as a JSON array of strings.
QJsonArray jsonTexts(const std::vector<std::string>& texts);

}  // namespace quorvel

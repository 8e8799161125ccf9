#pragma once
// One run of a device command on one port: the loader on that port (with a transcript when a
// log file is given), the steps it ran with their statuses, times and what they saw, and the
// closing report, as text or as one JSON object.

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "exchange_settings.h"
#include "json_run.h"
#include "loader.h"
#include "progress_display.h"
#include "rewrite_flow.h"
#include "step_record.h"

namespace quorvel {
class TraceTransport;
}

namespace quorvel::cli {

class DeviceSession {
  public:
    // Where a session reports instead of printing, when several devices share one display.
    struct Observer {
        std::function<void(Step step)> stepStarted;
        std::function<void(const StepRecord& step)> stepDone;
        ProgressDisplay::Report progress;
    };

    // The loader and its serial port are created here: construct the session on the thread
    // that runs its exchanges. `out` and `err` may be null when an observer takes the reports.
    DeviceSession(const CliOptions& options, ExchangeSettings settings, std::FILE* out,
                  std::FILE* err);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Opens the transcript file `path` (nothing when empty); false when it cannot be written
    // or is not a regular file.
    bool openLog(const std::string& path);
    // Why the transcript could not be written (a full disk), or empty.
    const std::string& logFailure() const { return logFailure_; }
    // Names the port and the device behind it on standard error, before anything is sent.
    void announcePort();
    // Reports steps and progress to `observer` from now on, and prints nothing.
    void observe(Observer observer) { observer_ = std::move(observer); }

    Loader& loader() { return *loader_; }
    const ExchangeSettings& settings() const { return settings_; }
    const std::vector<StepRecord>& steps() const { return steps_; }
    double elapsedMs() const;

    // Runs one exchange and records it; prints "NAME: status N" unless the output is JSON.
    // `accepted` is the status that counts as success for this step.
    int16_t step(Step step, int16_t accepted, const std::function<int16_t()>& run);
    // The same for a step that more than one status counts as success for.
    int16_t step(Step step, const std::function<bool(int16_t)>& accepts,
                 const std::function<int16_t()>& run);

    // A progress display on standard error for the walk of `step` that sends `total` units
    // ("block", "row"), printing every `lineEvery`-th one when standard error is not a terminal.
    ProgressDisplay progress(Step step, const std::string& unit, int total, int lineEvery) const;

    // The device's part of the JSON report: port, device, outcome, steps (docs/json.md).
    QJsonObject json(bool ok, const std::string& message) const;

    // The board's unit id (--unit, or a station's scan), for the reports and the record.
    void setUnit(std::string unit) { unit_ = std::move(unit); }
    const std::string& unit() const { return unit_; }

    // The firmware file the command sends, for the JSON report.
    void setImage(ImageFacts facts) { image_ = std::move(facts); }

    // The command was stopped on request (Ctrl-C, a closed output): `report` says where and
    // what that leaves on the device. finish() and json() then tell it instead of a failure,
    // with exit code 130.
    void markInterrupted(std::string report) { interruption_ = std::move(report); }
    // Where the command was stopped, empty when it was not.
    const std::string& interruption() const { return interruption_; }

    // How a write ended, beyond its message: the outcome's name ("unconfirmed"...), what it
    // leaves on the device, its warnings, and the answers that did not confirm their frames.
    struct WriteReport {
        RewriteOutcome outcome = RewriteOutcome::Success;
        std::string deviceState;
        std::vector<std::string> warnings;
        std::vector<UnconfirmedAnswer> unconfirmed;
    };
    // Set once the write has ended: finish(), json() and the record then tell it.
    void setWriteReport(WriteReport report) { write_ = std::move(report); }
    const std::optional<WriteReport>& writeReport() const { return write_; }
    // The outcome's name for reports: success, unconfirmed, failure or interrupted.
    std::string outcomeName(bool ok) const;

    // The command's result: the message on standard output, on failure the failing step and
    // what it saw with the errors. `result` is an extra answer text (the port panel's) or empty.
    CommandResult finish(bool ok, const std::string& message, const std::string& result = {});

  private:
    void logLine(std::string_view line);
    std::optional<ImageFacts> image_;
    int exitCode(bool ok) const;

    const CliOptions& options_;
    ExchangeSettings settings_;
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* log_ = nullptr;
    std::string logPath_;
    std::string logFailure_;           // why the transcript could not be written, once it could not
    TraceTransport* trace_ = nullptr;  // owned by the loader
    std::unique_ptr<Loader> loader_;
    std::chrono::steady_clock::time_point start_;
    Observer observer_;
    std::vector<StepRecord> steps_;
    std::string interruption_;  // see markInterrupted()
    std::string unit_;
    std::optional<WriteReport> write_;
};

class ProgressBoard;

// An observer that reports the session's steps and progress as device `index` of `board`.
DeviceSession::Observer boardObserver(ProgressBoard& board, size_t index);

// The lines that explain a failed step: which step with its status and attempts, then what it
// saw (see diagnosis.h).
std::vector<std::string> failureReport(const StepRecord& step, LoaderGeneration loader);

}  // namespace quorvel::cli

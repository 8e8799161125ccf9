#include "device_worker.h"

#include "device_options.h"
#include "device_session.h"
#include "diagnosis.h"
#include "interruption_report.h"
#include "session_record.h"
#include "stop_signals.h"
#include "write_sequence.h"

namespace quorvel::cli {

DeviceWorker::DeviceWorker(const CliOptions& options, ExchangeSettings settings,
                           const MemoryImage& image, std::string logPath, ProgressBoard& board,
                           size_t index)
    : options_(options),
      settings_(std::move(settings)),
      image_(image),
      logPath_(std::move(logPath)),
      board_(board),
      index_(index) {}

void DeviceWorker::run() {
    result_.port = portName(settings_);
    // Created here, so that the serial port belongs to this thread and its event loop.
    DeviceSession session(options_, settings_, nullptr, nullptr);
    session.observe(boardObserver(board_, index_));
    // Every device's loader asks the same process-wide stop request before each send.
    session.loader().stopWhen(stopRequestedByUser);
    WriteOutcome outcome;
    if (session.openLog(logPath_)) {
        outcome = runWriteSequence(session, image_);
    } else {
        outcome.message = "cannot write the transcript " + logPath_;
    }
    result_.ok = outcome.ok;
    result_.message = outcome.message;
    result_.ms = session.elapsedMs();
    result_.interrupted = outcome.interrupted;
    if (outcome.interrupted) {
        const std::string report =
            interruptionReport("write", session.steps(), image_, stopCause());
        result_.diagnosis = {report};
        session.markInterrupted(report);
    } else if (!outcome.ok && !session.steps().empty()) {
        const StepRecord& failed = session.steps().back();
        result_.failedStep = failed.name;
        result_.failedStatus = failed.status;
        result_.diagnosis = failureReport(failed, settings_.loader);
    }
    result_.warning = echoWarning(session.steps());
    result_.json = session.json(outcome.ok, outcome.message);
    if (record_ != nullptr) record_->append(sessionRecord(session, outcome.ok, *facts_, image_));
    board_.finished(index_, outcome.ok, outcome.message);
}

}  // namespace quorvel::cli

#include "device_worker.h"

#include "device_options.h"
#include "device_session.h"
#include "diagnosis.h"
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
    session.observe(DeviceSession::Observer{
        [this](const std::string& step) { board_.stepStarted(index_, step); },
        [this](const StepRecord& step) { board_.stepDone(index_, step); },
        [this](int done, int total, const std::string& address) {
            board_.progress(index_, done, total, address);
        }});
    WriteOutcome outcome;
    if (session.openLog(logPath_)) {
        outcome = runWriteSequence(session, image_);
    } else {
        outcome.message = "cannot write the transcript " + logPath_;
    }
    result_.ok = outcome.ok;
    result_.message = outcome.message;
    result_.ms = session.elapsedMs();
    if (!outcome.ok && !session.steps().empty()) {
        const StepRecord& failed = session.steps().back();
        result_.failedStep = failed.name;
        result_.failedStatus = failed.status;
        result_.diagnosis = failureReport(failed, settings_.loader);
    }
    result_.warning = echoWarning(session.steps());
    result_.json = session.json(outcome.ok, outcome.message);
    board_.finished(index_, outcome.ok, outcome.message);
}

}  // namespace quorvel::cli

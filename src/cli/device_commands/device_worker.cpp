#include "device_worker.h"

#include "device_options.h"
#include "device_session.h"
#include "stop_signals.h"
#include "write_result.h"
#include "write_sequence.h"

namespace quorvel::cli {

DeviceWorker::DeviceWorker(const CliOptions& options, ExchangeSettings settings,
                           const MemoryImage& image, const ImageFacts& facts, std::string logPath,
                           ProgressBoard& board, size_t index)
    : options_(options),
      settings_(std::move(settings)),
      image_(image),
      facts_(&facts),
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
    session.loader().abortWaitsWhen(stopUrgently);
    if (session.openLog(logPath_)) {
        result_ = finishWrite(session, runWriteSequence(session, image_), image_, *facts_, record_);
    } else {
        result_.message = "cannot write the transcript " + logPath_;
        result_.ms = session.elapsedMs();
    }
    board_.finished(index_, result_.ok, result_.message);
}

}  // namespace quorvel::cli

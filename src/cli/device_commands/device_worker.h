#pragma once
// One device of a write to several devices: a thread of its own that creates the device's
// loader and serial port, runs the whole rewrite on it (its reply waits run the thread's own
// event loop) and keeps the outcome.

#include <QThread>
#include <string>

#include "cli_options.h"
#include "device_result.h"
#include "exchange_settings.h"
#include "json_run.h"
#include "memory_image.h"
#include "progress_board.h"
#include "record_file.h"

namespace quorvel::cli {

class DeviceWorker final : public QThread {
  public:
    // `options`, `image` and `board` must outlive the thread; `logPath` may be empty.
    // `facts` describe `image`'s file and must outlive the thread too.
    DeviceWorker(const CliOptions& options, ExchangeSettings settings, const MemoryImage& image,
                 const ImageFacts& facts, std::string logPath, ProgressBoard& board, size_t index);

    // Adds the device's record to `file` when it ends; `file` must outlive the thread. Call
    // before start().
    void recordTo(RecordFile& file) { record_ = &file; }

    // The outcome, once the thread has finished.
    const DeviceResult& result() const { return result_; }

  protected:
    void run() override;

  private:
    const CliOptions& options_;
    ExchangeSettings settings_;
    const MemoryImage& image_;
    const ImageFacts* facts_;
    std::string logPath_;
    ProgressBoard& board_;
    size_t index_;
    DeviceResult result_;
    RecordFile* record_ = nullptr;
};

}  // namespace quorvel::cli

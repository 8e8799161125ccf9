#pragma once
// One run of a device command: the loader on the selected port (with a transcript when --log
// was given), the steps it ran with their statuses and times, and the closing report, as text
// or as one JSON object.

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "exchange_settings.h"
#include "loader.h"
#include "progress_display.h"

namespace quorvel {
class TraceTransport;
}

namespace quorvel::cli {

class DeviceSession {
  public:
    DeviceSession(const CliOptions& options, ExchangeSettings settings, std::FILE* out,
                  std::FILE* err);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Opens the --log file; false, with a message, when it cannot be written.
    bool openLog();

    Loader& loader() { return *loader_; }
    const ExchangeSettings& settings() const { return settings_; }

    // Runs one exchange and records it; prints "NAME: status N" unless the output is JSON.
    // `accepted` is the status that counts as success for this step.
    int16_t step(const std::string& name, int16_t accepted, const std::function<int16_t()>& run);

    // A progress display for a walk of `total` positions, printing every `lineEvery`-th one
    // when the output is not a terminal.
    ProgressDisplay progress(const std::string& label, int total, int lineEvery) const;

    // Prints the outcome (the message on success to standard output, on failure to standard
    // error with the failing step and the port's trouble, or the JSON object) and returns the
    // exit code. `result` is an extra answer text (the port panel's) or empty.
    int finish(bool ok, const std::string& message, const std::string& result = {});

  private:
    void logLine(std::string_view line);

    const CliOptions& options_;
    ExchangeSettings settings_;
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* log_ = nullptr;
    TraceTransport* trace_ = nullptr;  // owned by the loader
    std::unique_ptr<Loader> loader_;
    std::chrono::steady_clock::time_point start_;

    struct StepRecord {
        std::string name;
        int16_t status;
        bool accepted;
        double ms;
        std::string portError;
    };
    std::vector<StepRecord> steps_;
};

}  // namespace quorvel::cli

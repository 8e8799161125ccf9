#include "multi_write.h"

#include <QDeadlineTimer>
#include <chrono>
#include <memory>

#include "device_options.h"
#include "device_worker.h"
#include "json_run.h"
#include "log_paths.h"
#include "port_description.h"
#include "progress_board.h"
#include "progress_display.h"
#include "summary_table.h"
#include "terminal.h"
#include "usage.h"

namespace quorvel::cli {
namespace {

constexpr int kRedrawMs = 100;

// Creates (empties) every transcript file before anything is sent, so that a file that cannot
// be written stops the run while no device has been touched.
bool prepareLogs(const std::vector<std::string>& paths, std::FILE* err) {
    for (const std::string& path : paths) {
        std::FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) {
            fileError(err, "cannot write the transcript " + path);
            return false;
        }
        std::fclose(file);
    }
    return true;
}

// The run's JSON report: one device object per port.
int printMultiRun(std::FILE* out, const std::vector<DeviceResult>& results, int code,
                  ImageFacts image) {
    size_t rewritten = 0;
    RunReport report;
    for (const DeviceResult& r : results) {
        report.devices.append(r.json);
        if (r.ok) ++rewritten;
    }
    report.outcome = code == kExitOk            ? "success"
                     : code == kExitInterrupted ? "interrupted"
                                                : "failure";
    report.exitCode = code;
    report.message =
        std::to_string(rewritten) + " of " + std::to_string(results.size()) + " devices rewritten";
    report.image = std::move(image);
    return printRun(out, report);
}

}  // namespace

int runMultiWrite(const CliOptions& options, const std::vector<ExchangeSettings>& devices,
                  const MemoryImage& image, std::FILE* out, std::FILE* err, RecordFile* record) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> ports;
    for (const ExchangeSettings& s : devices) ports.push_back(portName(s));
    std::vector<std::string> logPaths(devices.size());
    if (!options.logFile.empty()) {
        logPaths = logPathsForPorts(options.logFile, ports);
        if (!prepareLogs(logPaths, err)) return kExitFileError;
    }

    // Progress goes to standard error; the table of outcomes is the result.
    ProgressBoard::Mode mode = ProgressBoard::Mode::Lines;
    if (options.json || options.quiet) {
        mode = ProgressBoard::Mode::Silent;
    } else if (enableCursorMovement(err)) {
        mode = ProgressBoard::Mode::Terminal;
    }
    if (mode != ProgressBoard::Mode::Silent) {
        for (const ExchangeSettings& s : devices) {
            std::fprintf(err, "quorvel-flash: port %s\n", describePort(s).c_str());
        }
        std::fflush(err);
    }
    ProgressBoard board(err, mode, ports);

    const ImageFacts facts = imageFacts(options.args[0], image);
    std::vector<std::unique_ptr<DeviceWorker>> workers;
    for (size_t i = 0; i < devices.size(); ++i) {
        workers.push_back(std::make_unique<DeviceWorker>(options, devices[i], image, facts,
                                                         logPaths[i], board, i));
        if (record != nullptr) workers.back()->recordTo(*record);
    }
    for (auto& worker : workers) worker->start();
    // Redraw the progress block until every device is done; wake early when one finishes.
    for (;;) {
        board.redraw();
        DeviceWorker* running = nullptr;
        for (auto& worker : workers) {
            if (!worker->isFinished()) {
                running = worker.get();
                break;
            }
        }
        if (running == nullptr) break;
        running->wait(QDeadlineTimer(kRedrawMs));
    }
    board.redraw();

    std::vector<DeviceResult> results;
    // An interruption stops every device: it outweighs a failure.
    int code = kExitOk;
    for (auto& worker : workers) {
        worker->wait();
        results.push_back(worker->result());
        if (worker->result().interrupted) {
            code = kExitInterrupted;
        } else if (!worker->result().ok && code == kExitOk) {
            code = kExitDeviceFailure;
        }
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (options.json) {
        printMultiRun(out, results, code, facts);
    } else {
        std::fprintf(out, "%s", summaryTable(results).c_str());
        std::fflush(out);
        for (const DeviceResult& r : results) {
            for (const std::string& line : r.diagnosis) {
                std::fprintf(err, "quorvel-flash: %s: %s\n", r.port.c_str(), line.c_str());
            }
        }
    }
    for (const DeviceResult& r : results) {
        if (r.warning.empty()) continue;
        std::fprintf(err, "quorvel-flash: %s: warning: %s\n", r.port.c_str(), r.warning.c_str());
    }
    if (record != nullptr && !record->failure().empty()) {
        std::fprintf(err, "quorvel-flash: warning: %s\n", record->failure().c_str());
    }
    if (!options.json && !options.quiet) {
        std::fprintf(err, "quorvel-flash: write took %s\n", secondsText(ms / 1000).c_str());
    }
    std::fflush(err);
    return code;
}

}  // namespace quorvel::cli

#include "multi_write.h"

#include <QDeadlineTimer>
#include <chrono>
#include <memory>

#include "device_options.h"
#include "device_worker.h"
#include "json_text.h"
#include "log_paths.h"
#include "progress_board.h"
#include "summary_table.h"
#include "terminal.h"

namespace quorvel::cli {
namespace {

constexpr int kRedrawMs = 100;

// Creates (empties) every transcript file before anything is sent, so that a file that cannot
// be written stops the run while no device has been touched.
bool prepareLogs(const std::vector<std::string>& paths, std::FILE* err) {
    for (const std::string& path : paths) {
        std::FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) {
            std::fprintf(err, "quorvel-flash: cannot write the transcript %s\n", path.c_str());
            return false;
        }
        std::fclose(file);
    }
    return true;
}

std::string multiJson(const std::vector<DeviceResult>& results, bool ok, double ms) {
    size_t rewritten = 0;
    std::string devices;
    for (const DeviceResult& r : results) {
        devices += (devices.empty() ? "" : ",") + r.json;
        if (r.ok) ++rewritten;
    }
    return "{\"command\":\"write\",\"outcome\":" + jsonString(ok ? "success" : "failure") +
           ",\"exit_code\":" + std::to_string(ok ? kExitOk : kExitDeviceFailure) +
           ",\"rewritten\":" + std::to_string(rewritten) + ",\"devices\":[" + devices +
           "],\"total_ms\":" + jsonMilliseconds(ms) + "}";
}

}  // namespace

int runMultiWrite(const CliOptions& options, const std::vector<ExchangeSettings>& devices,
                  const MemoryImage& image, std::FILE* out, std::FILE* err) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> ports;
    for (const ExchangeSettings& s : devices) ports.push_back(portName(s));
    std::vector<std::string> logPaths(devices.size());
    if (!options.logFile.empty()) {
        logPaths = logPathsForPorts(options.logFile, ports);
        if (!prepareLogs(logPaths, err)) return kExitFileError;
    }

    ProgressBoard::Mode mode = ProgressBoard::Mode::Lines;
    if (options.json) {
        mode = ProgressBoard::Mode::Silent;
    } else if (enableCursorMovement(out)) {
        mode = ProgressBoard::Mode::Terminal;
    }
    ProgressBoard board(out, mode, ports);

    std::vector<std::unique_ptr<DeviceWorker>> workers;
    for (size_t i = 0; i < devices.size(); ++i) {
        workers.push_back(
            std::make_unique<DeviceWorker>(options, devices[i], image, logPaths[i], board, i));
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
    bool ok = true;
    for (auto& worker : workers) {
        worker->wait();
        results.push_back(worker->result());
        ok = ok && worker->result().ok;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (options.json) {
        std::fprintf(out, "%s\n", multiJson(results, ok, ms).c_str());
    } else {
        std::fprintf(out, "\n%s", summaryTable(results).c_str());
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
    return ok ? kExitOk : kExitDeviceFailure;
}

}  // namespace quorvel::cli

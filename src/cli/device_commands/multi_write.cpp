#include "multi_write.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

#include "device_options.h"
#include "device_worker.h"
#include "json_run.h"
#include "log_paths.h"
#include "port_description.h"
#include "progress_board.h"
#include "progress_display.h"
#include "summary_table.h"
#include "terminal.h"
#include "text_out.h"
#include "write_result.h"

namespace quorvel::cli {
namespace {

constexpr int kRedrawMs = 100;

// Creates (empties) every transcript file before anything is sent, so that a file that cannot
// be written stops the run while no device has been touched.
std::optional<CommandResult> prepareLogs(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (const std::string problem = regularFileProblem(path); !problem.empty()) {
            return fileProblem("cannot write the transcript " + problem);
        }
        std::FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) return fileProblem("cannot write the transcript " + path);
        std::fclose(file);
    }
    return std::nullopt;
}

}  // namespace

CommandResult runMultiWrite(const CliOptions& options, const std::vector<ExchangeSettings>& devices,
                            const MemoryImage& image, std::FILE* err, RecordFile* record) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> ports;
    for (const ExchangeSettings& s : devices) ports.push_back(portName(s));
    std::vector<std::string> logPaths(devices.size());
    if (!options.logFile.empty()) {
        logPaths = logPathsForPorts(options.logFile, ports);
        if (std::optional<CommandResult> failed = prepareLogs(logPaths)) return *failed;
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
            writeLine(err, "quorvel-flash: port " + describePort(s));
        }
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

    // The run ends as its worst device: an interruption stops every device and outweighs a
    // failure, which outweighs answers that did not confirm their frames.
    const auto severity = [](RewriteOutcome o) {
        return o == RewriteOutcome::Stopped       ? RewriteOutcome::Stopped
               : o == RewriteOutcome::Unconfirmed ? RewriteOutcome::Unconfirmed
               : o == RewriteOutcome::Success     ? RewriteOutcome::Success
                                                  : RewriteOutcome::WritingFailure;
    };
    RewriteOutcome worst = RewriteOutcome::Success;
    CommandResult r;
    size_t rewritten = 0;
    std::vector<DeviceResult> results;
    for (auto& worker : workers) {
        worker->wait();
        const DeviceResult& result = worker->result();
        results.push_back(result);
        r.devices.append(result.json);
        if (result.outcome == RewriteOutcome::Success) ++rewritten;
        worst = std::max(worst, severity(result.outcome));
    }
    r.exitCode = RewriteExitCode(worst);
    r.outcome = RewriteOutcomeName(worst);
    r.message =
        std::to_string(rewritten) + " of " + std::to_string(results.size()) + " devices rewritten";
    r.image = facts;
    r.text = summaryTable(results);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (const DeviceResult& d : results) {
        if (options.json) continue;
        for (const std::string& line : d.diagnosis) r.note(d.port + ": " + line);
    }
    for (const DeviceResult& d : results) {
        if (!d.warning.empty()) r.note(d.port + ": warning: " + d.warning);
        for (const std::string& w : d.warnings) r.note(d.port + ": warning: " + w);
    }
    if (record != nullptr) markRecordLost(r, record->failure());
    if (!options.json && !options.quiet) r.note("write took " + secondsText(ms / 1000));
    return r;
}

}  // namespace quorvel::cli

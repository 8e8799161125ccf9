#include "multi_write.h"

#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <memory>

#include "device_attempt.h"
#include "device_report.h"
#include "device_run.h"
#include "json_run.h"
#include "log_paths.h"
#include "progress_board.h"
#include "step_words.h"
#include "terminal.h"
#include "text_out.h"
#include "walk_progress.h"

namespace quorvel::cli {
namespace {

constexpr int kRedrawMs = 100;

// "3 of 4 devices rewritten": unconfirmed ones are not.
std::string rewrittenCount(const OutcomeCounts& counts) {
    return std::to_string(counts[OutcomeSeverity::Success]) + " of " +
           std::to_string(counts.total()) + " devices rewritten";
}

}  // namespace

std::vector<std::string> summaryTable(const std::vector<DeviceResult>& results) {
    std::vector<std::vector<std::string>> rows{{"PORT", "OUTCOME", "FAILED STEP", "TIME"}};
    OutcomeCounts counts;
    for (const DeviceResult& r : results) {
        counts.add(r.severity);
        const StepRecord* failed = r.interruption.empty() ? r.failedStep() : nullptr;
        // The step and what it came to, in the words of the step lines ("erase: refused").
        const std::string step =
            failed ? std::string(StepName(failed->step)) + ": " + StepEndWords(*failed) : "-";
        rows.push_back({r.port, r.outcome().headline, step, secondsText(r.ms / 1000)});
    }
    // The time column is aligned to the right, the others to the left.
    std::vector<std::string> table = tableLines(rows, 3);
    table.push_back(rewrittenCount(counts));
    return table;
}

CommandResult runMultiWrite(const Command& command, const CliOptions& options,
                            const std::vector<DevicePort>& devices, const LoadedImage& loaded,
                            std::FILE* err, RecordSink* record) {
    const MemoryImage& image = loaded.image;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> ports;
    for (const DevicePort& p : devices) ports.push_back(p.name);
    // Every transcript is started before anything is sent, so that a file that cannot be
    // written stops the run while no device has been touched.
    std::vector<std::unique_ptr<DeviceAttempt>> attempts;
    std::vector<std::string> logPaths(devices.size());
    if (!options.logFile.empty()) logPaths = logPathsForPorts(options.logFile, ports);
    for (size_t i = 0; i < devices.size(); ++i) {
        attempts.push_back(std::make_unique<DeviceAttempt>(nullptr, ""));
        const std::string problem =
            attempts.back()->transcript.open(logPaths[i], options.command, ports[i]);
        if (!problem.empty()) return fileProblem(problem);
    }

    // Progress goes to standard error; the table of outcomes is the result.
    ProgressBoard::Mode mode = ProgressBoard::Mode::Lines;
    if (!options.showsProgress()) {
        mode = ProgressBoard::Mode::Silent;
    } else if (enableCursorMovement(err)) {
        mode = ProgressBoard::Mode::Terminal;
    }
    if (mode != ProgressBoard::Mode::Silent) {
        for (const DevicePort& p : devices) writeLine(err, "quorvel-flash: port " + p.description);
    }
    ProgressBoard board(err, mode, ports);

    // Every started line is added before any device is touched: a record that cannot be kept
    // stops the run while nothing has been sent.
    const ImageFacts& facts = loaded.facts;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!attempts[i]->startRecord(record, devices[i].settings, devices[i].name, options.unit,
                                      facts, options.profileName)) {
            return recordNotStarted(*record);
        }
    }
    std::vector<DeviceResult> results(devices.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (size_t i = 0; i < devices.size(); ++i) {
        // Each device on a thread of its own, whose event loop its reply waits run.
        threads.emplace_back(QThread::create([&, i] {
            results[i] = runDevice({command.work, options.showsProgress(), devices[i].settings,
                                    devices[i].name, image, attempts[i]->transcript, options.unit,
                                    boardDisplay(board, i)});
            attempts[i]->keepRecord(results[i], image);
            board.finished(i, results[i].ok(), results[i].outcome().headline);
        }));
        threads.back()->start();
    }
    // Redraw the progress block until every device is done; wake early when one finishes.
    for (auto& thread : threads) {
        do {
            board.redraw();
        } while (!thread->wait(QDeadlineTimer(kRedrawMs)));
    }
    board.redraw();

    CommandResult r;
    OutcomeCounts counts;
    std::vector<std::string> warnings;  // after what went wrong with every device
    for (const DeviceResult& d : results) {
        const DeviceReport report = ReportDevice(d, false);
        r.devices.append(report.json);
        counts.add(d.severity);
        for (const std::string& line : report.wentWrong) r.note(d.port + ": " + line);
        for (const std::string& w : report.warnings) warnings.push_back(d.port + ": warning: " + w);
    }
    for (const std::string& w : warnings) r.note(w);
    r.endAs(counts.worst());
    r.message = rewrittenCount(counts);
    r.image = facts;
    r.text = summaryTable(results);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (record != nullptr) markRecordLost(r, record->failure());
    if (options.showsProgress()) r.note("write took " + secondsText(ms / 1000));
    return r;
}

}  // namespace quorvel::cli

#include "device_run.h"

#include <chrono>
#include <optional>
#include <string_view>

#include "block_walk.h"
#include "diagnosis.h"
#include "loader.h"
#include "pin_answer.h"
#include "progress_board.h"
#include "rewrite_flow.h"
#include "serial_port_transport.h"
#include "step_words.h"
#include "stop_signals.h"
#include "terminal.h"
#include "text_out.h"
#include "trace_transport.h"

namespace quorvel::cli {
namespace {

constexpr int kRowsPerLine = 64;  // the row walk prints one line per 1 KiB in line mode

// The closing line of a step in the transcript: its status and what it saw.
std::string transcriptResult(const StepRecord& step) {
    const ExchangeDiagnostics& seen = step.seen;
    std::string line = "step " + std::string(StepName(step.step)) + ": status " +
                       std::to_string(step.status) + (step.accepted ? ", success" : ", failure");
    if (seen.attempts > 0) {
        line += ", attempt " + std::to_string(seen.attempts) + " of " +
                std::to_string(seen.attemptLimit);
    }
    if (seen.judged) {
        line += ", last reply " + std::to_string(seen.receivedBytes) + " bytes (" +
                std::to_string(seen.expectedBytes) + " make a whole one)";
        if (seen.timedOut) line += ", deadline passed";
        if (seen.lateBytes > 0) line += ", " + std::to_string(seen.lateBytes) + " late bytes";
        if (seen.echoDiffers) line += ", the frame was not repeated";
        if (seen.statusPosition >= 0) {
            line +=
                ", at " + std::to_string(seen.statusPosition) + ": " + hexBytes(seen.statusBytes);
        }
    }
    if (seen.stopped) line += ", stopped on request before sending more";
    return line;
}

// What the run shows of its steps: their lines in the transcript, then on the display; and
// the progress of the program and row-write walks, counting what they send.
class RunWatch {
  public:
    RunWatch(const DeviceRun& run, TraceTransport& trace) : run_(run), trace_(trace) {}

    StepWatch steps() {
        return {[this](Step step) { started(step); },
                [this](const StepRecord& step) { done(step); }};
    }
    ProgressCallback progress() {
        return [this](int row, bool blockStep) { advance(row, blockStep); };
    }

  private:
    void started(Step step) {
        trace_.noteLine("step " + std::string(StepName(step)));
        rows_ = step == Step::RowWrite;
        if (rows_ || step == Step::Program) walk_.emplace(walkDisplay(step));
        if (run_.display.stepStarted) run_.display.stepStarted(step);
    }

    // A row the walk passed (a block's first row for the block walk); the block walk passes
    // every block position, but only those with data are sent.
    void advance(int row, bool blockStep) {
        const bool sent =
            rows_ ? run_.image.rowFlagged(row) : blockStep && blockHasData(run_.image, row);
        if (walk_ && sent) walk_->advance(static_cast<uint32_t>(row) * kRowBytes);
    }

    void done(const StepRecord& step) {
        if (walk_) walk_->finish();
        walk_.reset();
        trace_.noteLine(transcriptResult(step));
        if (const std::string warning = echoWarning({step}); !warning.empty()) {
            trace_.noteLine("  " + warning);
        }
        if (!step.accepted) {
            for (const std::string& why : explainFailure(step, run_.settings.loader)) {
                trace_.noteLine("  " + why);
            }
        }
        if (run_.display.stepDone) {
            run_.display.stepDone(step);
        } else if (run_.showsProgress) {
            writeLine(run_.err, std::string(StepName(step.step)) + ": " + StepEndWords(step));
        }
    }

    ProgressDisplay walkDisplay(Step step) const {
        const bool rows = step == Step::RowWrite;
        const int total = rows ? countRowsToSend(run_.image) : countBlocksToSend(run_.image);
        if (run_.display.progress) return ProgressDisplay(run_.display.progress, total);
        using Mode = ProgressDisplay::Mode;
        const Mode mode = !run_.showsProgress    ? Mode::Silent
                          : isTerminal(run_.err) ? Mode::Bar
                                                 : Mode::Lines;
        return ProgressDisplay(run_.err, mode, StepName(step), rows ? "row" : "block", total,
                               rows ? kRowsPerLine : 1);
    }

    const DeviceRun& run_;
    TraceTransport& trace_;
    std::optional<ProgressDisplay> walk_;
    bool rows_ = false;
};

// The one exchange of a step command, as a recorded step.
StepRecord runStepCommand(const DeviceRun& run, Exchanges& link, RunWatch& watch) {
    const CommandWork& work = run.work;
    const Step step = work.step.value_or(Step::Connect);
    const ExchangeSettings& s = run.settings;
    const auto exchange = [&] { return RunExchange(link, step, s, run.image, watch.progress()); };
    // Every state the pin can report is a good answer; NG and the unknown are not.
    const auto accepts = [&](int16_t status) {
        return step == Step::Pin ? pinAnswer(status).good : status == work.success;
    };
    return RunStep(link, step, accepts, exchange, s.strictAnswers, watch.steps());
}

}  // namespace

RunDisplay boardDisplay(ProgressBoard& board, size_t index) {
    return {[&board, index](Step step) { board.stepStarted(index, step); },
            [&board, index](const StepRecord& step) { board.stepDone(index, step); },
            [&board, index](int done, int total, uint32_t address) {
                board.progress(index, done, total, address);
            }};
}

DeviceResult runDevice(const DeviceRun& run) {
    const OnTheLine talking;
    const auto start = std::chrono::steady_clock::now();
    const bool rewrite = run.work.writes == FlashWrite::Rewrite;
    DeviceResult r;
    r.settings = run.settings;
    r.port = run.port;
    r.unit = run.unit;

    auto transport = std::make_unique<TraceTransport>(
        std::make_unique<SerialPortTransport>(),
        [&transcript = run.transcript](std::string_view line) { transcript.line(line); });
    TraceTransport& trace = *transport;
    Loader loader(std::move(transport));
    // Every device's loader asks the same process-wide stop request before each send.
    loader.stopWhen(stopRequestedByUser);
    loader.abortWaitsWhen(stopUrgently);
    Exchanges& link = loader;
    RunWatch watch(run, trace);

    if (!rewrite) {
        r.steps.push_back(runStepCommand(run, link, watch));
        SettleStep(r, run.image, stopUrgently(), stopCause());
    } else {
        RewriteHooks hooks;
        hooks.settings = [&run] { return run.settings; };
        hooks.watch = watch.steps();
        hooks.progress = watch.progress();
        hooks.stopRequested = [&loader] { return loader.stopRequested(); };
        hooks.stepStopped = stopUrgently;
        SettleRewrite(r, RunRewrite(link, run.image, hooks), run.image, run.again, stopCause());
    }
    r.transcriptFailure = run.transcript.failure();
    r.bytesSent = trace.bytesSent();
    r.bytesReceived = trace.bytesReceived();
    r.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return r;
}

}  // namespace quorvel::cli

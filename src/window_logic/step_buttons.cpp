#include "step_buttons.h"

#include <optional>

#include "diagnosis.h"
#include "interruption_report.h"
#include "progress_display.h"
#include "result_box.h"
#include "rewrite_report.h"
#include "service_history.h"
#include "write_facts.h"
#include "write_guard.h"

namespace quorvel {

namespace {

// The cause of a failed exchange under the failure box's first line, in the words the command
// line uses for the same step; read right after the exchange, before another one runs.
std::vector<std::string> FailureCause(const Exchanges& link, Step step, int16_t status) {
    StepRecord record;
    record.step = step;
    record.status = status;
    record.portError = link.portFailureText();
    record.seen = link.lastDiagnostics();
    return explainStep(record);
}

// The bench's boxes: "OK" with no icon, "NG".
ResultWords words(const StepEntry& entry) {
    return {"OK", entry.successText, PromptIcon::None, "NG", entry.failureText};
}

}  // namespace

void StepButtons::run(const StepEntry& entry, bool confirmAndShowBar) {
    Panel& panel = context_.panel;
    if (entry.kind == StepKind::Disabling) {
        panel.setEnabled(entry.control, false);
    } else {
        panel.setBusyPointer(true);
    }
    {
        ExchangeLock lock(context_);
        const bool go =
            imageReady(entry) &&
            (!confirmAndShowBar || (WriteConfirmed(context_, words(entry)) && !context_.closing()));
        if (go) {
            if (confirmAndShowBar) {
                panel.setProgressValue(0);
                panel.setProgressVisible(true);
                context_.link.watchAttempts(AttemptsOnPanel(panel));
            }
            // The Edit menu's write is the end user's write, and goes into the service history.
            std::optional<HistoryEntry> history;
            std::optional<WriteFacts> facts;
            if (confirmAndShowBar) {
                history.emplace(context_);
                facts.emplace(context_);
            }
            const StepRecord step = RunStep(
                context_.link, entry.step, [&](int16_t status) { return status == entry.success; },
                [&] { return runExchange(entry); }, context_.settings().strictAnswers, {});
            context_.link.watchAttempts({});
            // A failure says why; a step the device took says what its answers left in doubt.
            std::vector<std::string> lines =
                step.accepted ? StepDoubts(step) : cause(entry, step.status);
            if (history) {
                endHistory(*history, step, step.accepted ? std::vector<std::string>{} : lines);
                if (std::string w = history->warning(); !w.empty()) lines.push_back(std::move(w));
            }
            PromptBox box = ResultBox(words(entry), step.accepted, lines);
            // A write's box ends with what went where, in how long.
            if (facts) box.text = facts->under(box.text);
            context_.ask(box);
        }
        if (entry.kind == StepKind::Disabling) {
            panel.setEnabled(entry.control, true);
        } else {
            panel.setBusyPointer(false);
        }
        if (confirmAndShowBar) {
            panel.setProgressVisible(false);
            panel.setProgressText({});
        }
    }
}

void StepButtons::endHistory(HistoryEntry& history, const StepRecord& step,
                             const std::vector<std::string>& why) {
    const bool stopped = context_.closing() || step.seen.stopped;
    const OutcomeFacts& outcome = stopped          ? Outcome(RewriteOutcome::Stopped)
                                  : !step.accepted ? Outcome(RewriteOutcome::WritingFailure)
                                  : step.unconfirmed.empty() ? Outcome(RewriteOutcome::Success)
                                                             : Outcome(RewriteOutcome::Unconfirmed);
    const std::string state =
        stopped ? interruptionReport(false, {step}, context_.image, StopCause::Signal) : "";
    history.end(outcome, {step}, HistoryDiagnosis(outcome, {step}, why, state), state, {});
}

bool StepButtons::imageReady(const StepEntry& entry) {
    // The other steps send no image.
    if (entry.step == Step::Program) return ImageReadyToWrite(context_, WriteWalk::Blocks);
    if (entry.step == Step::RowWrite) return ImageReadyToWrite(context_, WriteWalk::Rows);
    return true;
}

std::vector<std::string> StepButtons::cause(const StepEntry& entry, int16_t status) {
    // Command4 takes the loader's '0' as its success; the 'C' that the other connect buttons
    // take is, for it, the wrong answer.
    if (entry.step == Step::Connect && status == kConnected) {
        return {"the loader answered 'C' (connected), where this button takes only '0'"};
    }
    return FailureCause(context_.link, entry.step, status);
}

int16_t StepButtons::runExchange(const StepEntry& entry) {
    Panel& panel = context_.panel;
    // The bar stays hidden here; starting from 0 keeps a second write inside its range.
    if (entry.step == Step::Program) panel.setProgressValue(0);
    const ProgressCallback progress = entry.step == Step::Program
                                          ? WriteProgressOnPanel(panel, context_.image)
                                          : ProgressOnPanel(panel);
    return RunExchange(context_.link, entry.step, context_.settings(), context_.image, progress);
}

}  // namespace quorvel

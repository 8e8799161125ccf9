#include "step_buttons.h"

#include <optional>

#include "diagnosis.h"
#include "interruption_report.h"
#include "progress_display.h"
#include "result_box.h"
#include "rewrite_report.h"
#include "service_history.h"
#include "write_guard.h"

namespace quorvel {

namespace {

// Why a step failed, under the failure box's first line, in the words the command line uses for
// the same step.
std::vector<std::string> failureCause(const StepRecord& step) {
    // Command4 takes the loader's '0' as its success; the 'C' that the other connect buttons
    // take is, for it, the wrong answer.
    if (step.step == Step::Connect && step.status == kConnected) {
        return {"the loader answered 'C' (connected), where this button takes only '0'"};
    }
    return explainStep(step);
}

// The bench's boxes: "OK" with no icon, "NG".
ResultWords words(const StepEntry& entry) {
    return {"OK", entry.successText, PromptIcon::None, "NG", entry.failureText};
}

// While its step runs a button is disabled, or the pointer is the hourglass.
void showRunning(Panel& panel, const StepEntry& entry, bool running) {
    if (entry.kind == StepKind::Disabling) {
        panel.setEnabled(entry.control, !running);
    } else {
        panel.setBusyPointer(running);
    }
}

// False, after the "no image" box, when the button writes the image and it holds nothing that
// its walk would send. The other steps send no image.
bool imageReady(CommandContext& context, const StepEntry& entry) {
    if (entry.step == Step::Program) return ImageReadyToWrite(context, WriteWalk::Blocks);
    if (entry.step == Step::RowWrite) return ImageReadyToWrite(context, WriteWalk::Rows);
    return true;
}

int16_t runExchange(CommandContext& context, const StepEntry& entry) {
    Panel& panel = context.panel;
    // The bar stays hidden here; starting from 0 keeps a second write inside its range.
    if (entry.step == Step::Program) panel.setProgressValue(0);
    const ProgressCallback progress = entry.step == Step::Program
                                          ? WriteProgressOnPanel(panel, context.image)
                                          : ProgressOnPanel(panel);
    return RunExchange(context.link, entry.step, context.settings(), context.image, progress);
}

// Adds the final line of the Edit menu's write to the service history.
void endHistory(const CommandContext& context, WindowWrite& write, const StepRecord& step,
                const std::vector<std::string>& why) {
    const bool stopped = context.closing() || step.seen.stopped;
    const OutcomeFacts& outcome = stopped          ? Outcome(RewriteOutcome::Stopped)
                                  : !step.accepted ? Outcome(RewriteOutcome::WritingFailure)
                                  : step.unconfirmed.empty() ? Outcome(RewriteOutcome::Success)
                                                             : Outcome(RewriteOutcome::Unconfirmed);
    const std::string state =
        stopped ? interruptionReport(false, {step}, context.image, StopCause::Signal) : "";
    write.end(outcome, {step}, why, state, {});
}

}  // namespace

void StepButtons::run(const StepEntry& entry, bool confirmAndShowBar) {
    Panel& panel = context_.panel;
    showRunning(panel, entry, true);
    {
        ExchangeLock lock(context_);
        const bool go =
            imageReady(context_, entry) &&
            (!confirmAndShowBar || (WriteConfirmed(context_, words(entry)) && !context_.closing()));
        if (go) {
            if (confirmAndShowBar) {
                panel.setProgressValue(0);
                panel.setProgressVisible(true);
                context_.link.watchAttempts(AttemptsOnPanel(panel));
            }
            // The Edit menu's write is the end user's write, and goes into the service history.
            std::optional<WindowWrite> write;
            if (confirmAndShowBar) write.emplace(context_);
            const StepRecord step = RunStep(
                context_.link, entry.step, [&](int16_t status) { return status == entry.success; },
                [&] { return runExchange(context_, entry); }, context_.settings().strictAnswers,
                {});
            context_.link.watchAttempts({});
            // A failure says why; a step the device took says what its answers left in doubt.
            std::vector<std::string> lines = step.accepted ? StepDoubts(step) : failureCause(step);
            if (write) {
                endHistory(context_, *write, step,
                           step.accepted ? std::vector<std::string>{} : lines);
            }
            // A write's box ends with what went where, in how long.
            context_.ask(write ? write->box(words(entry), step.accepted, lines)
                               : ResultBox(words(entry), step.accepted, lines));
        }
        showRunning(panel, entry, false);
        if (confirmAndShowBar) {
            panel.setProgressVisible(false);
            panel.setProgressText({});
        }
    }
}

}  // namespace quorvel

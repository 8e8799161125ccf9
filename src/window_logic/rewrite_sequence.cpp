#include "rewrite_sequence.h"

#include "diagnosis.h"
#include "interruption_report.h"
#include "progress_display.h"
#include "result_box.h"
#include "rewrite_flow.h"
#include "rewrite_report.h"
#include "service_history.h"
#include "write_guard.h"

namespace quorvel {

namespace {

ControlId macroButton(int16_t index) {
    constexpr ControlId kButtons[] = {ControlId::cmdMacro0, ControlId::cmdMacro1,
                                      ControlId::cmdMacro2};
    return kButtons[index == 1 || index == 2 ? index : 0];
}

// The rewrite's boxes: "Finished" with the information icon, and "ERROR" with the failed step's
// text ("Connection failure" when nothing could be sent at all).
ResultWords rewriteWords(const OutcomeFacts& outcome) {
    return {"Finished", Outcome(RewriteOutcome::Success).windowText, PromptIcon::Information,
            "ERROR", outcome.windowText};
}

void setVersionFrameEnabled(Panel& panel, bool enabled) {
    panel.setEnabled(ControlId::Frame3, enabled);
    panel.setEnabled(ControlId::optVersion0, enabled);
    panel.setEnabled(ControlId::optVersion1, enabled);
}

// Runs the exchanges after the confirmation; shows the outcome box.
void runExchanges(CommandContext& context) {
    Panel& panel = context.panel;
    RewriteHooks hooks;
    hooks.settings = [&context] { return context.settings(); };
    hooks.connected = [&panel] {
        panel.setProgressValue(0);
        panel.setProgressVisible(true);
    };
    hooks.progress = WriteProgressOnPanel(panel, context.image);
    context.link.watchAttempts(AttemptsOnPanel(panel));
    hooks.stopRequested = [&context] { return context.closing(); };
    hooks.stepStopped = hooks.stopRequested;
    WindowWrite write(context);
    const RewriteResult result = RunRewrite(context.link, context.image, hooks);
    const OutcomeFacts& outcome = Outcome(result.outcome);
    context.link.watchAttempts({});
    const std::vector<std::string> warnings = RewriteWarnings(result);
    // The failed step's cause (none when another writer held the device and nothing ran).
    std::vector<std::string> cause;
    if (!outcome.wentThrough() && !result.steps.empty()) cause = explainStep(result.steps.back());
    const std::string state =
        outcome.severity == OutcomeSeverity::Interrupted
            ? interruptionReport(true, result.steps, context.image, StopCause::Signal)
            : RewriteDeviceState(result, context.image, "press the button again");
    write.end(outcome, result.steps, cause, state, warnings);
    if (outcome.severity == OutcomeSeverity::Interrupted) return;  // the window is closing: no box
    std::vector<std::string> lines;
    if (outcome.wentThrough()) {
        panel.setProgressValue(kProgressMaximum);
        // What the device's answers left in doubt follows the success text, then which frames
        // and what they answered.
        // The end's answer does not count towards the outcome, so it is not listed either.
        lines = warnings;
        std::vector<StepRecord> written;
        for (const StepRecord& step : result.steps) {
            if (step.step == Step::Erase || step.step == Step::Program) written.push_back(step);
        }
        for (std::string& line : UnconfirmedLines(written, kListedUnconfirmed)) {
            lines.push_back(std::move(line));
        }
    } else {
        lines = std::move(cause);
        lines.push_back(state);
    }
    context.ask(write.box(rewriteWords(outcome), outcome.wentThrough(), std::move(lines)));
}

}  // namespace

void RewriteSequence::cmdMacro_Click(int16_t index) {
    const ControlId button = macroButton(index);
    Panel& panel = context_.panel;
    panel.setEnabled(button, false);
    setVersionFrameEnabled(panel, false);
    {
        ExchangeLock lock(context_);
        if (ImageReadyToWrite(context_, WriteWalk::Blocks) &&
            WriteConfirmed(context_, rewriteWords(Outcome(RewriteOutcome::ConnectionFailure))) &&
            !context_.closing()) {
            runExchanges(context_);
        }
        panel.setEnabled(button, true);
        setVersionFrameEnabled(panel, true);
        panel.setProgressVisible(false);
        panel.setProgressText({});
    }
}

}  // namespace quorvel

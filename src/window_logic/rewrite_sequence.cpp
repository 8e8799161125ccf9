#include "rewrite_sequence.h"

#include "diagnosis.h"
#include "interruption_report.h"
#include "progress_display.h"
#include "rewrite_flow.h"
#include "rewrite_report.h"
#include "service_history.h"
#include "write_facts.h"
#include "write_guard.h"

namespace quorvel {

namespace {

ControlId macroButton(int16_t index) {
    switch (index) {
        case 1:
            return ControlId::cmdMacro1;
        case 2:
            return ControlId::cmdMacro2;
        default:
            return ControlId::cmdMacro0;
    }
}

void setVersionFrameEnabled(Panel& panel, bool enabled) {
    panel.setEnabled(ControlId::Frame3, enabled);
    panel.setEnabled(ControlId::optVersion0, enabled);
    panel.setEnabled(ControlId::optVersion1, enabled);
}

}  // namespace

void RewriteSequence::cmdMacro_Click(int16_t index) {
    const ControlId button = macroButton(index);
    Panel& panel = context_.panel;
    panel.setEnabled(button, false);
    setVersionFrameEnabled(panel, false);
    {
        ExchangeLock lock(context_);
        if (ImageReadyToWrite(context_, WriteWalk::Blocks) && WriteConfirmed(context_) &&
            !context_.closing()) {
            runExchanges();
        }
        panel.setEnabled(button, true);
        setVersionFrameEnabled(panel, true);
        panel.setProgressVisible(false);
        panel.setProgressText({});
    }
}

void RewriteSequence::runExchanges() {
    Panel& panel = context_.panel;
    RewriteHooks hooks;
    hooks.settings = [this] { return context_.settings(); };
    hooks.connected = [&panel] {
        panel.setProgressValue(0);
        panel.setProgressVisible(true);
    };
    hooks.progress = WriteProgressOnPanel(panel, context_.image);
    context_.link.watchAttempts(AttemptsOnPanel(panel));
    hooks.stopRequested = [this] { return context_.closing(); };
    hooks.stepStopped = hooks.stopRequested;
    HistoryEntry history(context_);
    const WriteFacts facts(context_);
    const RewriteResult result = RunRewrite(context_.link, context_.image, hooks);
    const OutcomeFacts& outcome = Outcome(result.outcome);
    context_.link.watchAttempts({});
    const std::vector<std::string> warnings = RewriteWarnings(result);
    // The failed step's cause (none when another writer held the device and nothing ran).
    std::vector<std::string> cause;
    if (!outcome.wentThrough() && !result.steps.empty()) cause = explainStep(result.steps.back());
    const std::string state =
        outcome.severity == OutcomeSeverity::Interrupted
            ? interruptionReport("write", result.steps, context_.image, StopCause::Signal)
            : RewriteDeviceState(result, context_.image, "press the button again");
    history.end(outcome, result.steps, HistoryDiagnosis(outcome, result.steps, cause, state), state,
                warnings);
    if (outcome.severity == OutcomeSeverity::Interrupted) return;  // the window is closing: no box
    if (outcome.wentThrough()) {
        panel.setProgressValue(kProgressMaximum);
        // What the device's answers left in doubt follows the success text, with a warning
        // icon instead of the information icon.
        std::vector<std::string> lines = warnings;
        if (std::string w = history.warning(); !w.empty()) lines.push_back(std::move(w));
        context_.ask(
            {"Finished", facts.under(BoxText(outcome.windowText, lines)), PromptButtons::Ok,
             lines.empty() ? PromptIcon::Information : PromptIcon::Exclamation, PromptAnswer::Ok});
        return;
    }
    cause.push_back(state);
    if (std::string w = history.warning(); !w.empty()) cause.push_back(std::move(w));
    context_.ask({"ERROR", facts.under(BoxText(outcome.windowText, cause)), PromptButtons::Ok,
                  PromptIcon::Exclamation, PromptAnswer::Ok});
}

}  // namespace quorvel

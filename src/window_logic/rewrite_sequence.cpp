#include "rewrite_sequence.h"

#include "failure_cause.h"
#include "progress_display.h"
#include "rewrite_flow.h"
#include "rewrite_report.h"
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
    // The cause of a failed step, read before another exchange runs.
    std::vector<std::string> cause;
    hooks.step = [&](Step step, const std::function<int16_t()>& exchange) {
        const int16_t status = exchange();
        if (status != RewriteStepAccepts(step) && step != Step::Disconnect) {
            cause = FailureCause(context_.link, step, status);
        }
        return status;
    };
    const RewriteResult result = RunRewrite(context_.link, context_.image, hooks);
    const RewriteOutcome outcome = result.outcome;
    context_.link.watchAttempts({});
    switch (outcome) {
        case RewriteOutcome::Stopped:
            return;  // the window is closing: no box
        case RewriteOutcome::Success:
        case RewriteOutcome::Unconfirmed: {
            panel.setProgressValue(kProgressMaximum);
            // What the device's answers left in doubt follows the success text, with a
            // warning icon instead of the information icon.
            const std::vector<std::string> warnings = RewriteWarnings(result);
            context_.ask({"Finished", BoxText(RewriteMessage(outcome), warnings), PromptButtons::Ok,
                          warnings.empty() ? PromptIcon::Information : PromptIcon::Exclamation,
                          PromptAnswer::Ok});
            return;
        }
        default:
            cause.push_back(RewriteDeviceState(result, context_.image, "press the button again"));
            fail(RewriteMessage(outcome), cause);
    }
}

void RewriteSequence::fail(const std::string& text, const std::vector<std::string>& lines) {
    context_.ask({"ERROR", BoxText(text, lines), PromptButtons::Ok, PromptIcon::Exclamation,
                  PromptAnswer::Ok});
}

}  // namespace quorvel

#include "rewrite_sequence.h"

#include "progress_display.h"
#include "rewrite_confirmation.h"
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

const PromptBox kConfirm{kRewriteConfirmTitle,
                         std::string(kRewriteConfirmLines[0]) + "\r\n" + kRewriteConfirmLines[1],
                         PromptButtons::OkCancel, PromptIcon::Exclamation, PromptAnswer::Cancel};

}  // namespace

void RewriteSequence::cmdMacro_Click(int16_t index) {
    const ControlId button = macroButton(index);
    Panel& panel = context_.panel;
    panel.setEnabled(button, false);
    setVersionFrameEnabled(panel, false);
    {
        ExchangeLock lock(context_);
        if (ImageReadyToWrite(context_, WriteWalk::Blocks) &&
            context_.ask(kConfirm) == PromptAnswer::Ok && !context_.closing()) {
            runExchanges();
        }
        panel.setEnabled(button, true);
        setVersionFrameEnabled(panel, true);
        panel.setProgressVisible(false);
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
    hooks.progress = ProgressOnPanel(panel);
    hooks.stopRequested = [this] { return context_.closing(); };
    hooks.stepStopped = hooks.stopRequested;
    const RewriteResult result = RunRewrite(context_.link, context_.image, hooks);
    const RewriteOutcome outcome = result.outcome;
    switch (outcome) {
        case RewriteOutcome::Stopped:
            return;  // the window is closing: no box
        case RewriteOutcome::Success:
        case RewriteOutcome::Unconfirmed: {
            panel.setProgressValue(kProgressMaximum);
            // What the device's answers left in doubt follows the success text, with a
            // warning icon instead of the information icon.
            std::string text = RewriteMessage(outcome);
            const std::vector<std::string> warnings = RewriteWarnings(result);
            for (const std::string& warning : warnings) text += "\r\n" + warning;
            context_.ask({"Finished", text, PromptButtons::Ok,
                          warnings.empty() ? PromptIcon::Information : PromptIcon::Exclamation,
                          PromptAnswer::Ok});
            return;
        }
        default:
            fail(RewriteMessage(outcome) + std::string("\r\n") +
                 RewriteDeviceState(result, context_.image, "press the button again"));
    }
}

void RewriteSequence::fail(const std::string& text) {
    context_.ask({"ERROR", text, PromptButtons::Ok, PromptIcon::Exclamation, PromptAnswer::Ok});
}

}  // namespace quorvel

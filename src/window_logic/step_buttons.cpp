#include "step_buttons.h"

#include "failure_cause.h"
#include "progress_display.h"
#include "write_guard.h"

namespace quorvel {

void StepButtons::run(const StepEntry& entry, bool confirmAndShowBar) {
    Panel& panel = context_.panel;
    if (entry.kind == StepKind::Disabling) {
        panel.setEnabled(entry.control, false);
    } else {
        panel.setBusyPointer(true);
    }
    {
        ExchangeLock lock(context_);
        const bool go = imageReady(entry) &&
                        (!confirmAndShowBar || (WriteConfirmed(context_) && !context_.closing()));
        if (go) {
            if (confirmAndShowBar) {
                panel.setProgressValue(0);
                panel.setProgressVisible(true);
                context_.link.watchAttempts(AttemptsOnPanel(panel));
            }
            const int16_t status = runExchange(entry);
            context_.link.watchAttempts({});
            if (status == entry.success) {
                context_.ask({"OK", entry.successText, PromptButtons::Ok, PromptIcon::None,
                              PromptAnswer::Ok});
            } else {
                context_.ask({"NG", BoxText(entry.failureText, cause(entry, status)),
                              PromptButtons::Ok, PromptIcon::Exclamation, PromptAnswer::Ok});
            }
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

bool StepButtons::imageReady(const StepEntry& entry) {
    switch (entry.step) {
        case Step::Program:
            return ImageReadyToWrite(context_, WriteWalk::Blocks);
        case Step::RowWrite:
            return ImageReadyToWrite(context_, WriteWalk::Rows);
        case Step::Connect:
        case Step::Erase:
        case Step::Disconnect:
        case Step::TextErase:
        case Step::TextEnd:
        case Step::Pin:
            break;  // these steps send no image
    }
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
    Exchanges& link = context_.link;
    const ExchangeSettings settings = context_.settings();
    switch (entry.step) {
        case Step::Connect:
            return link.LoaderConnect(settings);
        case Step::Erase:
            return link.FlashErase(settings);
        case Step::Program:
            // The bar stays hidden here; starting from 0 keeps a second write inside its range.
            context_.panel.setProgressValue(0);
            return link.FlashProgram(settings, context_.image,
                                     WriteProgressOnPanel(context_.panel, context_.image));
        case Step::Disconnect:
            return link.LoaderDisconnect(settings);
        case Step::Pin:
            return link.PortCommand(settings);
        case Step::TextErase:
            return link.TextCommand(settings, "ERASE");
        case Step::TextEnd:
            return link.TextCommand(settings, "END");
        case Step::RowWrite:
            return link.RowWrite(settings, context_.image, ProgressOnPanel(context_.panel));
    }
    return kFrameFailure;
}

}  // namespace quorvel

#include "step_buttons.h"

#include "progress_display.h"
#include "write_guard.h"

namespace quorvel {

void StepButtons::Click(StepButton button) {
    const StepEntry& entry = stepEntry(button);
    Panel& panel = context_.panel;
    if (entry.kind == StepKind::Disabling) {
        panel.setEnabled(entry.control, false);
    } else {
        panel.setBusyPointer(true);
    }
    {
        ExchangeLock lock(context_);
        if (imageReady(entry)) {
            const int16_t status = runExchange(entry);
            if (status == entry.success) {
                context_.ask({"OK", entry.successText, PromptButtons::Ok, PromptIcon::None,
                              PromptAnswer::Ok});
            } else {
                context_.ask({"NG", entry.failureText, PromptButtons::Ok, PromptIcon::Exclamation,
                              PromptAnswer::Ok});
            }
        }
        if (entry.kind == StepKind::Disabling) {
            panel.setEnabled(entry.control, true);
        } else {
            panel.setBusyPointer(false);
        }
    }
}

bool StepButtons::imageReady(const StepEntry& entry) {
    switch (entry.exchange) {
        case StepExchange::Program:
            return ImageReadyToWrite(context_, WriteWalk::Blocks);
        case StepExchange::RowWrite:
            return ImageReadyToWrite(context_, WriteWalk::Rows);
        case StepExchange::Connect:
        case StepExchange::Erase:
        case StepExchange::Disconnect:
        case StepExchange::TextErase:
        case StepExchange::TextEnd:
            break;  // these steps send no image
    }
    return true;
}

int16_t StepButtons::runExchange(const StepEntry& entry) {
    Exchanges& link = context_.link;
    const ExchangeSettings settings = context_.settings();
    switch (entry.exchange) {
        case StepExchange::Connect:
            return link.LoaderConnect(settings);
        case StepExchange::Erase:
            return link.FlashErase(settings);
        case StepExchange::Program:
            // The bar stays hidden here; starting from 0 keeps a second write inside its range.
            context_.panel.setProgressValue(0);
            return link.FlashProgram(settings, context_.image, ProgressOnPanel(context_.panel));
        case StepExchange::Disconnect:
            return link.LoaderDisconnect(settings);
        case StepExchange::TextErase:
            return link.TextCommand(settings, "ERASE");
        case StepExchange::TextEnd:
            return link.TextCommand(settings, "END");
        case StepExchange::RowWrite:
            return link.RowWrite(settings, context_.image, ProgressOnPanel(context_.panel));
    }
    return kFrameFailure;
}

}  // namespace quorvel

#include "rewrite_sequence.h"

#include "progress_display.h"
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

const PromptBox kConfirm{"Rewriting of software",
                         "Please never turn off power while rewriting.\r\n"
                         "Click the OK button to begin rewriting.",
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
    Exchanges& link = context_.link;

    if (link.LoaderConnect(context_.settings()) != kConnected) {
        fail("Connection failure");
        return;
    }
    panel.setProgressValue(0);
    panel.setProgressVisible(true);
    if (context_.closing()) return;

    if (link.FlashErase(context_.settings()) != kEraseAccepted) {
        fail("Deletion failure");
        return;
    }
    if (context_.closing()) return;

    if (link.FlashProgram(context_.settings(), context_.image, ProgressOnPanel(panel)) !=
        kProgramDone) {
        fail("Writing failure");
        return;
    }
    if (context_.closing()) return;

    link.LoaderDisconnect(context_.settings());  // the outcome is success whatever it says
    panel.setProgressValue(kProgressMaximum);
    context_.ask({"Finished", "Rewriting success!", PromptButtons::Ok, PromptIcon::Information,
                  PromptAnswer::Ok});
}

void RewriteSequence::fail(const char* text) {
    context_.ask({"ERROR", text, PromptButtons::Ok, PromptIcon::Exclamation, PromptAnswer::Ok});
}

}  // namespace quorvel

#include "step_buttons.h"

#include <optional>

#include "failure_cause.h"
#include "interruption_report.h"
#include "progress_display.h"
#include "service_history.h"
#include "write_facts.h"
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
            const int16_t status = step.status;
            context_.link.watchAttempts({});
            std::vector<std::string> why;
            if (status != entry.success) why = cause(entry, status);
            if (history) {
                endHistory(*history, step, why);
                if (std::string w = history->warning(); !w.empty()) why.push_back(std::move(w));
            }
            // A write's box ends with what went where, in how long.
            const auto boxText = [&facts](const std::string& first,
                                          const std::vector<std::string>& lines) {
                return facts ? facts->under(BoxText(first, lines)) : BoxText(first, lines);
            };
            if (status == entry.success) {
                context_.ask({"OK", boxText(entry.successText, why), PromptButtons::Ok,
                              why.empty() ? PromptIcon::None : PromptIcon::Exclamation,
                              PromptAnswer::Ok});
            } else {
                context_.ask({"NG", boxText(entry.failureText, why), PromptButtons::Ok,
                              PromptIcon::Exclamation, PromptAnswer::Ok});
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

void StepButtons::endHistory(HistoryEntry& history, const StepRecord& step,
                             const std::vector<std::string>& why) {
    const bool stopped = context_.closing() || step.seen.stopped;
    const OutcomeFacts& outcome = stopped          ? Outcome(RewriteOutcome::Stopped)
                                  : !step.accepted ? Outcome(RewriteOutcome::WritingFailure)
                                  : step.unconfirmed.empty() ? Outcome(RewriteOutcome::Success)
                                                             : Outcome(RewriteOutcome::Unconfirmed);
    const std::string state =
        stopped ? interruptionReport("program", {step}, context_.image, StopCause::Signal) : "";
    history.end(outcome, {step}, HistoryDiagnosis(outcome, {step}, why, state), state, {});
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

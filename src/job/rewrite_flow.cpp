#include "rewrite_flow.h"

#include <string>

namespace quorvel {

int16_t RewriteStepAccepts(Step step) {
    switch (step) {
        case Step::Connect:
            return kConnected;
        case Step::Erase:
            return kEraseAccepted;
        case Step::Disconnect:
            return kDisconnected;
        default:
            break;
    }
    return kProgramDone;
}

const char* RewriteMessage(RewriteOutcome outcome) {
    switch (outcome) {
        case RewriteOutcome::Success:
        case RewriteOutcome::Unconfirmed:
            return "Rewriting success!";
        case RewriteOutcome::ConnectionFailure:
            return "Connection failure";
        case RewriteOutcome::DeletionFailure:
            return "Deletion failure";
        case RewriteOutcome::WritingFailure:
            return "Writing failure";
        case RewriteOutcome::Stopped:
            break;
    }
    return "Interrupted";
}

const char* RewriteOutcomeName(RewriteOutcome outcome) {
    switch (outcome) {
        case RewriteOutcome::Success:
            return "success";
        case RewriteOutcome::Unconfirmed:
            return "unconfirmed";
        case RewriteOutcome::Stopped:
            return "interrupted";
        default:
            return "failure";
    }
}

int RewriteExitCode(RewriteOutcome outcome) {
    switch (outcome) {
        case RewriteOutcome::Success:
            return 0;
        case RewriteOutcome::Unconfirmed:
            return 4;
        case RewriteOutcome::Stopped:
            return 130;
        default:
            return 1;
    }
}

RewriteResult RunRewrite(Exchanges& link, const MemoryImage& image, const RewriteHooks& hooks) {
    RewriteResult result;
    const auto settings = [&] { return hooks.settings ? hooks.settings() : ExchangeSettings{}; };
    const auto run = [&](Step step, const std::function<int16_t()>& exchange) {
        return hooks.step ? hooks.step(step, exchange) : exchange();
    };
    const auto stopRequested = [&] { return hooks.stopRequested && hooks.stopRequested(); };
    const auto ended = [&](RewriteOutcome outcome) {
        result.outcome = outcome;
        return result;
    };
    // A step cut short by a stop is the stop's outcome, not the step's failure.
    const auto failed = [&](RewriteOutcome failure) {
        return ended(hooks.stepStopped && hooks.stepStopped() ? RewriteOutcome::Stopped : failure);
    };
    const auto noteUnconfirmed = [&] {
        for (const UnconfirmedAnswer& a : link.answersNotConfirmed())
            result.unconfirmed.push_back(a);
    };
    const ProgressCallback progress = [&](int row, bool blockStep) {
        if (blockStep) result.lastBlockRow = row;
        if (hooks.progress) hooks.progress(row, blockStep);
    };

    // One writer per device: a second one, whatever name it uses, is refused before it sends.
    if (std::string refusal = link.holdDevice(settings()); !refusal.empty()) {
        result.busy = std::move(refusal);
        return ended(RewriteOutcome::ConnectionFailure);
    }
    struct Release {
        Exchanges& link;
        ~Release() { link.releaseDevice(); }
    } release{link};
    if (run(Step::Connect, [&] { return link.LoaderConnect(settings()); }) != kConnected) {
        result.connectAnswerForeign = link.lastDiagnostics().foreignAnswer;
        result.nothingSent =
            link.lastDiagnostics().attempts == 0 && !link.portFailureText().empty();
        return failed(RewriteOutcome::ConnectionFailure);
    }
    if (hooks.connected) hooks.connected();
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    const int16_t erased = run(Step::Erase, [&] { return link.FlashErase(settings()); });
    noteUnconfirmed();
    if (erased != kEraseAccepted) return failed(RewriteOutcome::DeletionFailure);
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    const int16_t programmed =
        run(Step::Program, [&] { return link.FlashProgram(settings(), image, progress); });
    noteUnconfirmed();
    if (programmed != kProgramDone) return failed(RewriteOutcome::WritingFailure);
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    // Whatever the disconnect says, the rewrite is done, unless it was stopped before its
    // answer came; an end left unanswered is said beside the outcome.
    result.endAnswered =
        run(Step::Disconnect, [&] { return link.LoaderDisconnect(settings()); }) == kDisconnected;
    return failed(result.unconfirmed.empty() ? RewriteOutcome::Success
                                             : RewriteOutcome::Unconfirmed);
}

}  // namespace quorvel

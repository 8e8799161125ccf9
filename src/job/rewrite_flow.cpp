#include "rewrite_flow.h"

#include <string>

namespace quorvel {

RewriteResult RunRewrite(Exchanges& link, const MemoryImage& image, const RewriteHooks& hooks) {
    RewriteResult result;
    const auto settings = [&] { return hooks.settings ? hooks.settings() : ExchangeSettings{}; };
    // Runs the step and keeps its record; true when its status is `success`, which lets the
    // rewrite go on (the disconnect's is only recorded).
    const auto run = [&](Step step, int16_t success, const std::function<int16_t()>& exchange) {
        const auto accepts = [success](int16_t status) { return status == success; };
        result.steps.push_back(
            RunStep(link, step, accepts, exchange, settings().strictAnswers, hooks.watch));
        return result.steps.back().accepted;
    };
    const auto stopRequested = [&] { return hooks.stopRequested && hooks.stopRequested(); };
    const auto ended = [&](RewriteOutcome outcome) {
        result.outcome = outcome;
        return result;
    };
    // A step cut short by a stop is the stop's outcome, not the step's failure.
    const auto failed = [&](RewriteOutcome failure) {
        const bool stopped =
            result.steps.back().seen.stopped || (hooks.stepStopped && hooks.stepStopped());
        return ended(stopped ? RewriteOutcome::Stopped : failure);
    };
    const auto noteUnconfirmed = [&] {
        for (const UnconfirmedAnswer& a : result.steps.back().unconfirmed)
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
    if (!run(Step::Connect, kConnected, [&] { return link.LoaderConnect(settings()); })) {
        const StepRecord& connect = result.steps.back();
        result.connectAnswerForeign = connect.seen.foreignAnswer;
        result.nothingSent = connect.seen.attempts == 0 && !connect.portError.empty();
        return failed(RewriteOutcome::ConnectionFailure);
    }
    if (hooks.connected) hooks.connected();
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    const bool erased =
        run(Step::Erase, kEraseAccepted, [&] { return link.FlashErase(settings()); });
    noteUnconfirmed();
    if (!erased) return failed(RewriteOutcome::DeletionFailure);
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    const bool programmed = run(Step::Program, kProgramDone,
                                [&] { return link.FlashProgram(settings(), image, progress); });
    noteUnconfirmed();
    if (!programmed) return failed(RewriteOutcome::WritingFailure);
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    // Whatever the disconnect says, the rewrite is done, unless it was stopped before its
    // answer came; an end left unanswered is said beside the outcome.
    result.endAnswered =
        run(Step::Disconnect, kDisconnected, [&] { return link.LoaderDisconnect(settings()); });
    return failed(result.unconfirmed.empty() ? RewriteOutcome::Success
                                             : RewriteOutcome::Unconfirmed);
}

}  // namespace quorvel

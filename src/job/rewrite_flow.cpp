#include "rewrite_flow.h"

#include <string>

namespace quorvel {

const char* RewriteStepName(RewriteStep step) {
    switch (step) {
        case RewriteStep::Connect:
            return "connect";
        case RewriteStep::Erase:
            return "erase";
        case RewriteStep::Program:
            return "program";
        case RewriteStep::Disconnect:
            break;
    }
    return "disconnect";
}

int16_t RewriteStepAccepts(RewriteStep step) {
    switch (step) {
        case RewriteStep::Connect:
            return kConnected;
        case RewriteStep::Erase:
            return kEraseAccepted;
        case RewriteStep::Program:
            return kProgramDone;
        case RewriteStep::Disconnect:
            break;
    }
    return kDisconnected;
}

RewriteResult RunRewrite(Exchanges& link, const MemoryImage& image, const RewriteHooks& hooks) {
    RewriteResult result;
    const auto settings = [&] { return hooks.settings ? hooks.settings() : ExchangeSettings{}; };
    // Runs the step and keeps its record; true when its status lets the rewrite go on.
    const auto run = [&](RewriteStep step, const std::function<int16_t()>& exchange) {
        const auto accepts = [step](int16_t status) { return status == RewriteStepAccepts(step); };
        result.steps.push_back(RunStep(link, RewriteStepName(step), accepts, exchange,
                                       settings().strictAnswers, hooks.watch));
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
    const ProgressCallback progress = [&](const std::string& position, bool step) {
        if (step) result.lastBlockRow = static_cast<int>(std::stoul(position, nullptr, 16));
        if (hooks.progress) hooks.progress(position, step);
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
    if (!run(RewriteStep::Connect, [&] { return link.LoaderConnect(settings()); })) {
        const StepRecord& connect = result.steps.back();
        result.connectAnswerForeign = connect.seen.foreignAnswer;
        result.nothingSent = connect.seen.attempts == 0 && !connect.portError.empty();
        return failed(RewriteOutcome::ConnectionFailure);
    }
    if (hooks.connected) hooks.connected();
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    const bool erased = run(RewriteStep::Erase, [&] { return link.FlashErase(settings()); });
    noteUnconfirmed();
    if (!erased) return failed(RewriteOutcome::DeletionFailure);
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    const bool programmed =
        run(RewriteStep::Program, [&] { return link.FlashProgram(settings(), image, progress); });
    noteUnconfirmed();
    if (!programmed) return failed(RewriteOutcome::WritingFailure);
    if (stopRequested()) return ended(RewriteOutcome::Stopped);

    // Whatever the disconnect says, the rewrite is done, unless it was stopped before its
    // answer came; an end left unanswered is said beside the outcome.
    result.endAnswered =
        run(RewriteStep::Disconnect, [&] { return link.LoaderDisconnect(settings()); });
    return failed(result.unconfirmed.empty() ? RewriteOutcome::Success
                                             : RewriteOutcome::Unconfirmed);
}

}  // namespace quorvel

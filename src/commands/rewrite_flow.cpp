#include "rewrite_flow.h"

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

const char* RewriteMessage(RewriteOutcome outcome) {
    switch (outcome) {
        case RewriteOutcome::Success:
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
        case RewriteOutcome::Stopped:
            return 130;
        default:
            return 1;
    }
}

RewriteOutcome RunRewrite(Exchanges& link, const MemoryImage& image, const RewriteHooks& hooks) {
    const auto settings = [&] { return hooks.settings ? hooks.settings() : ExchangeSettings{}; };
    const auto run = [&](RewriteStep step, const std::function<int16_t()>& exchange) {
        return hooks.step ? hooks.step(step, exchange) : exchange();
    };
    const auto stopRequested = [&] { return hooks.stopRequested && hooks.stopRequested(); };
    // A step cut short by a stop is the stop's outcome, not the step's failure.
    const auto failed = [&](RewriteOutcome failure) {
        return hooks.stepStopped && hooks.stepStopped() ? RewriteOutcome::Stopped : failure;
    };

    if (run(RewriteStep::Connect, [&] { return link.LoaderConnect(settings()); }) != kConnected) {
        return failed(RewriteOutcome::ConnectionFailure);
    }
    if (hooks.connected) hooks.connected();
    if (stopRequested()) return RewriteOutcome::Stopped;

    if (run(RewriteStep::Erase, [&] { return link.FlashErase(settings()); }) != kEraseAccepted) {
        return failed(RewriteOutcome::DeletionFailure);
    }
    if (stopRequested()) return RewriteOutcome::Stopped;

    if (run(RewriteStep::Program,
            [&] { return link.FlashProgram(settings(), image, hooks.progress); }) != kProgramDone) {
        return failed(RewriteOutcome::WritingFailure);
    }
    if (stopRequested()) return RewriteOutcome::Stopped;

    // Whatever the disconnect says, the rewrite is done, unless it was stopped before its
    // answer came.
    run(RewriteStep::Disconnect, [&] { return link.LoaderDisconnect(settings()); });
    return failed(RewriteOutcome::Success);
}

}  // namespace quorvel

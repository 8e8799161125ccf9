#include "rewrite_outcome.h"

namespace quorvel {
namespace {

using S = OutcomeSeverity;

// In the order of RewriteOutcome. The window says "Rewriting success!" also for an unconfirmed
// write, with its warning under it; the command line leads with the doubt.
constexpr OutcomeFacts kOutcomes[] = {
    {RewriteOutcome::Success, S::Success, OutcomeWord(S::Success), "Rewriting success!",
     "Rewriting success!", "PASS", std::nullopt},
    {RewriteOutcome::Unconfirmed, S::Unconfirmed, OutcomeWord(S::Unconfirmed), "Rewriting success!",
     "Rewriting unconfirmed: the device's answers did not confirm every frame", "UNCONFIRMED",
     std::nullopt},
    {RewriteOutcome::ConnectionFailure, S::Failure, OutcomeWord(S::Failure), "Connection failure",
     "Connection failure", "FAIL", Step::Connect},
    {RewriteOutcome::DeletionFailure, S::Failure, OutcomeWord(S::Failure), "Deletion failure",
     "Deletion failure", "FAIL", Step::Erase},
    {RewriteOutcome::WritingFailure, S::Failure, OutcomeWord(S::Failure), "Writing failure",
     "Writing failure", "FAIL", Step::Program},
    {RewriteOutcome::Stopped, S::Interrupted, OutcomeWord(S::Interrupted), "Interrupted",
     "Interrupted", "STOPPED", std::nullopt},
};

constexpr bool inEnumOrder() {
    for (size_t i = 0; i < std::size(kOutcomes); ++i) {
        if (static_cast<size_t>(kOutcomes[i].outcome) != i) return false;
    }
    return std::size(kOutcomes) == static_cast<size_t>(RewriteOutcome::Stopped) + 1;
}
static_assert(inEnumOrder(), "kOutcomes must list every outcome in its enum's order");

}  // namespace

const OutcomeFacts& Outcome(RewriteOutcome outcome) {
    // Every outcome named, so that one added to the enum without its row does not compile.
    switch (outcome) {
        case RewriteOutcome::Success:
        case RewriteOutcome::Unconfirmed:
        case RewriteOutcome::ConnectionFailure:
        case RewriteOutcome::DeletionFailure:
        case RewriteOutcome::WritingFailure:
        case RewriteOutcome::Stopped:
            break;
    }
    return kOutcomes[static_cast<size_t>(outcome)];
}

const OutcomeFacts& Outcome(OutcomeSeverity severity) {
    for (const OutcomeFacts& facts : kOutcomes) {
        if (facts.severity == severity) return facts;
    }
    return kOutcomes[0];
}

}  // namespace quorvel

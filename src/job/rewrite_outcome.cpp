#include "rewrite_outcome.h"

#include <numeric>

namespace quorvel {
namespace {

using S = OutcomeSeverity;

// In the order of RewriteOutcome. The window says "Rewriting success!" also for an unconfirmed
// write, with its warning under it; the command line leads with the doubt.
constexpr OutcomeFacts kOutcomes[] = {
    {RewriteOutcome::Success, S::Success, "success", "Rewriting success!", "Rewriting success!",
     "PASS", std::nullopt},
    {RewriteOutcome::Unconfirmed, S::Unconfirmed, "unconfirmed", "Rewriting success!",
     "Rewriting unconfirmed: the device's answers did not confirm every frame", "UNCONFIRMED",
     std::nullopt},
    {RewriteOutcome::ConnectionFailure, S::Failure, "failure", "Connection failure",
     "Connection failure", "FAIL", Step::Connect},
    {RewriteOutcome::DeletionFailure, S::Failure, "failure", "Deletion failure", "Deletion failure",
     "FAIL", Step::Erase},
    {RewriteOutcome::WritingFailure, S::Failure, "failure", "Writing failure", "Writing failure",
     "FAIL", Step::Program},
    {RewriteOutcome::Stopped, S::Interrupted, "interrupted", "Interrupted", "Interrupted",
     "STOPPED", std::nullopt},
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

const OutcomeFacts* OutcomeNamed(std::string_view name) {
    for (const OutcomeFacts& facts : kOutcomes) {
        if (facts.name == name) return &facts;
    }
    return nullptr;
}

int OutcomeCounts::total() const {
    return std::accumulate(count.begin(), count.end(), 0);
}

OutcomeSeverity OutcomeCounts::worst() const {
    for (size_t s = kSeverities; s-- > 0;) {
        if (count[s] > 0) return static_cast<OutcomeSeverity>(s);
    }
    return OutcomeSeverity::Success;
}

}  // namespace quorvel

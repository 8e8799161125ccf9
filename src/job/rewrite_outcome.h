#pragma once
// How a rewrite can end, in one table: the outcome's name in reports and record files, the
// window's text, the command line's headline, the mark of a station's result line, how bad it
// is, and the step that failed. Everything that says an outcome reads it here.

#include <optional>

#include "outcome_words.h"
#include "step.h"

namespace quorvel {

// Unconfirmed: every step went through, but some erase or block answers did not confirm their
// frame (see UnconfirmedAnswer): never reported as plain success.
enum class RewriteOutcome {
    Success,
    Unconfirmed,
    ConnectionFailure,
    DeletionFailure,
    WritingFailure,
    Stopped
};

struct OutcomeFacts {
    RewriteOutcome outcome;
    OutcomeSeverity severity;
    const char* name;        // the severity's word (OutcomeWord)
    const char* windowText;  // the window's box, and the message of the JSON report
    const char* headline;    // the command line's first line
    const char* mark;        // at the start of a station's result line
    std::optional<Step> failedStep;

    // Every step went through: the device holds the image (maybe unconfirmed).
    bool wentThrough() const { return severity <= OutcomeSeverity::Unconfirmed; }
};

const OutcomeFacts& Outcome(RewriteOutcome outcome);
// The first outcome of that severity: how a run that is no single rewrite (a step command,
// several devices) is named.
const OutcomeFacts& Outcome(OutcomeSeverity severity);

}  // namespace quorvel

#pragma once
// The exit codes of quorvel-flash, what each means and the run's outcome in its JSON object: the
// help, the overview and the man page list them from this table.

#include <string_view>

#include "outcome_words.h"

namespace quorvel::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitDeviceFailure = 1,
    kExitFileError = 2,
    kExitCancelled = 3,
    kExitUnconfirmed = 4,
    kExitRecordLost = 5,
    kExitUsage = 64,
    kExitInterrupted = 130,
};

struct ExitCodeEntry {
    ExitCode code;
    std::string_view outcome;  // the word of --json's "outcome"; a device's as the record has it
    std::string_view meaning;  // a phrase, lower case and without a full stop
};

inline constexpr ExitCodeEntry kExitCodes[] = {
    {kExitOk, OutcomeWord(OutcomeSeverity::Success), "success"},
    {kExitDeviceFailure, OutcomeWord(OutcomeSeverity::Failure),
     "device or exchange failure (pin: NG or ???; records --check: a device or unit not written)"},
    {kExitFileError, "error",
     "file error: an image, record file or transcript could not be read or written"},
    {kExitCancelled, "cancelled",
     "cancelled at the confirmation, a unit the --record file shows written refused (see "
     "--rewrite), or an image the --profile does not approve refused: nothing was sent"},
    {kExitUnconfirmed, OutcomeWord(OutcomeSeverity::Unconfirmed),
     "unconfirmed: written, but the device's answers did not confirm every frame"},
    {kExitRecordLost, "record_lost",
     "record lost: written, but its --record line could not be added"},
    {kExitUsage, "error", "usage error: nothing was done"},
    {kExitInterrupted, OutcomeWord(OutcomeSeverity::Interrupted),
     "interrupted by Ctrl-C, SIGTERM, SIGHUP or a closed output: the tool stops after the message "
     "on the line is answered, sends nothing more and says what that leaves on the device; a "
     "second Ctrl-C stops waiting for the answer, a third ends the tool at once"},
};

// The run's outcome word for `code`, one of the table's.
constexpr std::string_view outcomeOfExit(int code) {
    for (const ExitCodeEntry& e : kExitCodes) {
        if (e.code == code) return e.outcome;
    }
    return "error";
}

}  // namespace quorvel::cli

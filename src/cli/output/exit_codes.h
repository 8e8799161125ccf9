#pragma once
// The exit codes of quorvel-flash and what each means: the help, the overview and the man page
// list them from this table.

#include <string_view>

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
    std::string_view meaning;  // a phrase, lower case and without a full stop
};

inline constexpr ExitCodeEntry kExitCodes[] = {
    {kExitOk, "success"},
    {kExitDeviceFailure,
     "device or exchange failure (pin: NG or ???; records --check: a device or unit not written)"},
    {kExitFileError,
     "file error: an image, record file or transcript could not be read or written"},
    {kExitCancelled,
     "cancelled at the confirmation, a unit the --record file shows written refused (see "
     "--rewrite), or an image the --profile does not approve refused: nothing was sent"},
    {kExitUnconfirmed,
     "unconfirmed: written, but the device's answers did not confirm every frame"},
    {kExitRecordLost, "record lost: written, but its --record line could not be added"},
    {kExitUsage, "usage error: nothing was done"},
    {kExitInterrupted,
     "interrupted by Ctrl-C, SIGTERM, SIGHUP or a closed output: the tool stops after the message "
     "on the line is answered, sends nothing more and says what that leaves on the device; a "
     "second Ctrl-C stops waiting for the answer, a third ends the tool at once"},
};

}  // namespace quorvel::cli

#pragma once
// The consent a device command needs before it writes the flash (write, program, row-write):
// on a terminal the operator confirms the window's warning, shown with what is about to be
// written where; elsewhere nobody can answer, so --yes must be given.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "command_table.h"
#include "device_options.h"
#include "image_identity.h"

namespace quorvel::cli {

// What the terminal asks after the warning and the facts; "y", "yes" or "ok" agree.
inline constexpr const char* kTerminalConsentQuestion = "Type y to write, anything else cancels: ";

// The consent of a command that writes the flash, unless --yes or --dry-run is given: on the
// terminal `in`, the operator is asked (the warning, the file with its check sum, how many
// blocks, or rows for row-write, go out, what the load warned of, and each port as described, on
// `err`); the cancellation is returned unless the answer agrees; when `in` is not a terminal, the
// command is refused with kExitUsage. Nothing: go on.
std::optional<CommandResult> obtainConsent(const Command& command, const CliOptions& options,
                                           const LoadedImage& loaded,
                                           const std::vector<DevicePort>& devices, std::FILE* in,
                                           std::FILE* err);

}  // namespace quorvel::cli

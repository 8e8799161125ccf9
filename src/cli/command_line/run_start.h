#pragma once
// What both programs of the command line do first with their arguments: read them, start the
// run (and its JSON report), and answer help and --version.

#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"

namespace quorvel::cli {

// Reads `args` into `options` and the form of the output into `form` (JSON for --json, also
// when the rest of the line cannot be read). Returns the result when the run is over already:
// a usage error, --json where it does not go, help, or --version ("quorvel-flash VERSION").
std::optional<CommandResult> startRun(const std::vector<std::string>& args, CliOptions& options,
                                      OutputForm& form);

}  // namespace quorvel::cli

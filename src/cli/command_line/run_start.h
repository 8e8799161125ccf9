#pragma once
// What both programs of the command line do first with their arguments: read them, start the
// run (and its JSON report), and answer help and --version.

#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"

namespace quorvel::cli {

// Reads `args` into `options`. Returns the exit code when the run is over already: a usage
// error, --json where it does not go, help, or --version (printed as "PROGRAM VERSION").
std::optional<int> startRun(const std::vector<std::string>& args, const char* program,
                            CliOptions& options);

}  // namespace quorvel::cli

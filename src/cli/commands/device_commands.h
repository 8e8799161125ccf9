#pragma once
// The commands of quorvel-flash that talk to the device's flash loader: the whole rewrite
// (write) and one command per exchange.

#include <cstdio>

#include "cli_options.h"

namespace quorvel::cli {

// `in` is where the rewrite's confirmation is read from when it is a terminal.
// `out` and `err` take what is shown while the command runs (the confirmation, progress).
CommandResult runDeviceCommand(const CliOptions& options, std::FILE* in, std::FILE* out,
                               std::FILE* err);

}  // namespace quorvel::cli

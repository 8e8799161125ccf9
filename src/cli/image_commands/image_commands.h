#pragma once
// The commands of quorvel-flash that work on an image file alone.

#include <cstdio>

#include "cli_options.h"

namespace quorvel::cli {

CommandResult runInfo(const CliOptions& options, std::FILE* err);
// Writes the binary image to `out` itself.
CommandResult runDump(const CliOptions& options, std::FILE* out);
CommandResult runChecksum(const CliOptions& options);

}  // namespace quorvel::cli

#pragma once
// quorvel-flash records FILE: a record file (--record) summed up for the people on the line:
// the devices per outcome, per image and per port, then the ones not written and why.

#include <cstdio>

#include "cli_options.h"
#include "command_result.h"

namespace quorvel::cli {

// The summary goes into the result; --csv writes its rows to `out` as they are read.
CommandResult runRecords(const CliOptions& options, std::FILE* out);

}  // namespace quorvel::cli

#pragma once
// quorvel-flash records FILE: a record file (--record) summed up for the people on the line:
// the devices per outcome, per image and per port, then the ones not written and why.

#include <cstdio>

#include "cli_options.h"
#include "command_result.h"

namespace quorvel::cli {

CommandResult runRecords(const CliOptions& options);

}  // namespace quorvel::cli

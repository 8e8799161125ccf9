#pragma once
// The help of each command of quorvel-flash (`quorvel-flash help COMMAND`, `COMMAND --help`).

#include <cstdio>
#include <string_view>

#include "cli_options.h"

namespace quorvel::cli {

// Prints the help of `command` (its usage line, what it does, its options and an example);
// false, printing nothing, when there is no such command.
bool printCommandHelp(std::FILE* out, std::string_view command);

// --help and the help command: prints the overview, or one command's help, on `out`; an
// unknown command is a usage error.
CommandResult runHelp(const CliOptions& options, std::FILE* out);

}  // namespace quorvel::cli

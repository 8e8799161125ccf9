#pragma once
// The help of each command of quorvel-flash (`quorvel-flash help COMMAND`, `COMMAND --help`).

#include <cstdio>
#include <string_view>

#include "cli_options.h"

namespace quorvel::cli {

// Prints the help of `command` (its usage line, what it does, its options and an example);
// false, printing nothing, when there is no such command.
bool printCommandHelp(std::FILE* out, std::string_view command);

// --help and the help command: the overview, or one command's help. Returns the exit code; an
// unknown command is a usage error.
int runHelp(const CliOptions& options, std::FILE* out, std::FILE* err);

}  // namespace quorvel::cli

#pragma once
// What each command of quorvel-flash runs once its command line is checked: the actions the
// command table names, where what each does is said. Each is defined beside the code it drives
// (image_commands, records, port_list, commands, command_help); all take the same streams:
// standard input (the rewrite's confirmation is read from it when it is a terminal), standard
// output (results) and standard error (what is shown while the command runs).

#include <cstdio>

#include "cli_options.h"
#include "command_result.h"

namespace quorvel::cli {

using CommandRun = CommandResult(const CliOptions& options, std::FILE* in, std::FILE* out,
                                 std::FILE* err);
using CommandAction = CommandRun*;

// The commands on an image file alone. dump writes the binary image to `out` itself.
CommandRun runInfo, runDump, runChecksum;
// records (--csv writes its rows to `out` as they are read), prepare-database and ports.
CommandRun runRecords, runPrepareDatabase, runPorts;
// The commands that talk to the device's flash loader.
CommandRun runDeviceCommand;
// --help and the help command, on `out`; an unknown command is a usage error.
CommandRun runHelp;

}  // namespace quorvel::cli

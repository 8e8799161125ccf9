#pragma once
// What each command of quorvel-flash runs once its command line is checked: the actions the
// command table names. Each is defined beside the code it drives (image_commands, records,
// port_list, commands, command_help); all take the same streams: standard input (the rewrite's
// confirmation is read from it when it is a terminal), standard output (results) and standard
// error (what is shown while the command runs).

#include <cstdio>

#include "cli_options.h"
#include "command_result.h"

namespace quorvel::cli {

using CommandAction = CommandResult (*)(const CliOptions& options, std::FILE* in, std::FILE* out,
                                        std::FILE* err);

// The commands on an image file alone. dump writes the binary image to `out` itself.
CommandResult runInfo(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);
CommandResult runDump(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);
CommandResult runChecksum(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);

// records FILE...: record files (--record) or a line's database summed up for the people on the
// line: the devices per outcome, per image and per port, then the ones not written and why.
// --csv writes its rows to `out` as they are read.
CommandResult runRecords(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);

// prepare-database URI: the line's database made ready by its owner (the record table, its
// indexes, the stations' and the supervisors' roles with their grants), or with --print-sql the
// SQL that does it, for the database's administrator.
CommandResult runPrepareDatabase(const CliOptions& options, std::FILE* in, std::FILE* out,
                                 std::FILE* err);

// ports: the serial ports the system knows, each with the COM number that --port COMn and the
// window's port list give it, what the system tells about it (location, description,
// manufacturer, USB vendor and product id, serial number), and the QUORVEL_COM<n> overrides in
// effect.
CommandResult runPorts(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);

// The commands that talk to the device's flash loader: the whole rewrite (write) and one
// command per exchange.
CommandResult runDeviceCommand(const CliOptions& options, std::FILE* in, std::FILE* out,
                               std::FILE* err);

// --help and the help command: prints the overview, or one command's usage line, what it does,
// its options, exit codes and an example, on `out`; an unknown command is a usage error.
CommandResult runHelp(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace quorvel::cli

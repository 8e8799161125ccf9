#pragma once
// Every command of quorvel-flash in one table: its arguments, the options it takes, whether it
// uses the serial ports, and its help. The command line is checked against it before any
// command runs; the help, the man page and the bash completion come from it too.

#include <span>
#include <string>
#include <string_view>

#include "cli_options.h"

namespace quorvel::cli {

constexpr size_t kAnyCount = static_cast<size_t>(-1);

struct Command {
    std::string_view name;
    std::string_view arguments;  // as the usage line shows them, after the options
    // How many arguments it takes: one of the two, or from fewestArgs on when mostArgs is
    // kAnyCount. The part of `arguments` in brackets is given whole or not at all.
    size_t fewestArgs;
    size_t mostArgs;
    unsigned options;          // Option bits; --help and --version go with every command
    bool device;               // talks to a device on a serial port (ports: lists the serial ports)
    std::string_view exits;    // the exit codes it can end with, blank-separated
    std::string_view summary;  // what it does, a phrase: its line in the overview
    std::string_view details;  // whole sentences that its help adds to the summary; may be empty
    std::string_view example;  // one command line

    bool takesFile() const { return arguments.starts_with("FILE"); }
    // Its FILE is a firmware image (records takes record files instead).
    bool takesImage() const { return arguments == "FILE" || arguments.starts_with("FILE "); }
    bool mayEndWith(int exitCode) const { return listed(std::to_string(exitCode), exits); }
};

// The endings of the firmware files the tool reads, in small letters: an ending in HEX is read
// as Intel HEX, every other as Motorola S-records (so a .ihx file is not one of them).
inline constexpr std::string_view kImageFileTypes[] = {"mot", "s19", "s28", "s37", "srec", "hex"};

std::span<const Command> commandTable();

// The entry for `name`, or nullptr when there is no such command.
const Command* findCommand(std::string_view name);

// Why the command line cannot run, or empty when it can: no command or an unknown one, an
// option the command does not take, options that do not go together, or the wrong number of
// arguments. --help and --version are answered before this is asked.
std::string commandLineProblem(const CliOptions& options);

}  // namespace quorvel::cli

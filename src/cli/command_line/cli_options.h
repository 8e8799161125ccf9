#pragma once
// Command line of quorvel-flash: one command word, options, and positional arguments.

#include <optional>
#include <string>
#include <vector>

#include "command_result.h"

namespace quorvel::cli {

struct CliOptions {
    std::string command;
    std::vector<std::string> args;   // positional arguments after the command
    std::vector<std::string> ports;  // --port / -p, repeatable
    std::string loader = "1.06";     // --loader 1.05|1.06
    std::string speed = "9600";      // --speed 9600|38400|4800
    std::string pin;                 // --pin TEXT
    std::string mode = "read";       // --mode low|high|input|read
    std::string logFile;             // --log FILE
    std::string record;              // --record FILE (write)
    bool yes = false;                // --yes
    bool json = false;               // --json
    bool strict = false;             // --strict
    bool dryRun = false;             // --dry-run
    bool station = false;            // --station (write)
    bool verbose = false;            // --verbose / -v
    bool quiet = false;              // --quiet / -q (never together with verbose)
    bool help = false;               // --help / -h
    bool version = false;            // --version / -V
};

struct ParseResult {
    std::optional<CliOptions> options;
    std::string error;  // set when options is empty
};

// Options may stand anywhere; an option that takes a value takes the next argument or, in its
// long form, the text after "=" (--port=COM2). "--" ends the options: every argument after it
// is positional, even one that begins with "-".
ParseResult parseCommandLine(const std::vector<std::string>& argv);

}  // namespace quorvel::cli

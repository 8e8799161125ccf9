#pragma once
// Command line of quorvel-flash: one command word, options, and positional arguments.

#include <optional>
#include <string>
#include <vector>

namespace quorvel::cli {

// Exit codes of the tool.
enum ExitCode : int {
    kExitOk = 0,
    kExitDeviceFailure = 1,
    kExitFileError = 2,
    kExitUsage = 64,
};

struct CliOptions {
    std::string command;
    std::vector<std::string> args;   // positional arguments after the command
    std::vector<std::string> ports;  // --port, repeatable
    std::string loader = "1.06";     // --loader 1.05|1.06
    std::string speed = "9600";      // --speed 9600|38400|4800
    std::string pin;                 // --pin TEXT
    std::string mode = "read";       // --mode low|high|input|read
    std::string logFile;             // --log FILE
    bool yes = false;                // --yes
    bool json = false;               // --json
    bool strict = false;             // --strict
    bool help = false;               // --help / -h
};

struct ParseResult {
    std::optional<CliOptions> options;
    std::string error;  // set when options is empty
};

ParseResult parseCommandLine(const std::vector<std::string>& argv);

}  // namespace quorvel::cli

#include "run_start.h"

#include <cstdio>

#include "command_help.h"
#include "command_table.h"
#include "json_run.h"
#include "quorvel_version.h"
#include "usage.h"

namespace quorvel::cli {

std::optional<int> startRun(const std::vector<std::string>& args, const char* program,
                            CliOptions& options) {
    beginRunFromArgs(args);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.options) return usageError(stderr, parsed.error);
    options = *parsed.options;
    beginRun(options.json, options.command);
    if (const std::string refusal = jsonRefusal(options.help, options.version, options.command);
        options.json && !refusal.empty()) {
        return usageError(stderr, refusal);
    }
    // --help and --version answer whatever else stands on the line.
    if (!options.help && !options.version) {
        if (const std::string problem = commandLineProblem(options); !problem.empty()) {
            return usageError(stderr, problem);
        }
    }
    if (options.help || options.command == "help") return runHelp(options, stdout, stderr);
    if (options.version) {
        std::printf("%s %s\n", program, kVersion);
        return kExitOk;
    }
    return std::nullopt;
}

}  // namespace quorvel::cli

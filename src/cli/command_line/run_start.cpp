#include "run_start.h"

#include <cstdio>

#include "command_table.h"
#include "json_run.h"
#include "quorvel_version.h"
#include "station_profile.h"

namespace quorvel::cli {

std::optional<CommandResult> startRun(const std::vector<std::string>& args, CliOptions& options,
                                      OutputForm& form) {
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.options) {
        // Answered in the form that was asked for, with the command word if there is one.
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--json") form = OutputForm::Json;
            if (options.command.empty() && !args[i].empty() && args[i][0] != '-') {
                options.command = args[i];
            }
        }
        return usageProblem(parsed.error);
    }
    options = *parsed.options;
    const Command* command = findCommand(options.command);
    if (options.json) {
        form = OutputForm::Json;
        const std::string refusal = options.help      ? "--json does not go with help"
                                    : options.version ? "--json does not go with --version"
                                    : command         ? std::string(command->jsonRefusal)
                                                      : "";
        if (!refusal.empty()) return usageProblem(refusal);
    }
    // --help and --version answer whatever else stands on the line.
    if (!options.help && !options.version) {
        // The profile fills in what the command line left out, before the whole is checked; it
        // is read before anything else is, and a profile that cannot be used stops the run.
        if (!options.profile.empty() && command != nullptr && (command->options & kProfile) != 0) {
            if (std::string problem; !applyStationProfile(options.profile, options, problem)) {
                return fileProblem(problem);
            }
        }
        if (const std::string problem = commandLineProblem(options); !problem.empty()) {
            return usageProblem(problem);
        }
    }
    if (options.help) return runHelp(options, stdin, stdout, stderr);
    if (options.version) {
        CommandResult r;
        r.text = {std::string("quorvel-flash ") + kVersion};
        return r;
    }
    return std::nullopt;
}

}  // namespace quorvel::cli

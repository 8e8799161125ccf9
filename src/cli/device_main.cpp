// quorvel-flash-device: the device commands of quorvel-flash, which hands them over to this
// program (see device_launcher.h). It takes the same command line.

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_help.h"
#include "device_commands.h"
#include "json_run.h"
#include "quorvel_version.h"
#include "usage.h"

using namespace quorvel::cli;

int main(int argc, char** argv) {
    // Each result line reaches a pipe as soon as it is written, not when the run ends.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    const std::vector<std::string> args(argv, argv + argc);
    beginRunFromArgs(args);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.options) return usageError(stderr, parsed.error);
    const CliOptions& options = *parsed.options;
    beginRun(options.json, options.command);
    if (const std::string refusal = jsonRefusal(options.help, options.version, options.command);
        options.json && !refusal.empty()) {
        return usageError(stderr, refusal);
    }
    if (options.help || options.command == "help") return runHelp(options, stdout, stderr);
    if (options.version) {
        std::printf("quorvel-flash-device %s\n", quorvel::kVersion);
        return kExitOk;
    }
    return runDeviceCommand(options, stdin, stdout, stderr);
}

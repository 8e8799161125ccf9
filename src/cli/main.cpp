// quorvel-flash: the command-line twin of Quorvel Software Writer.

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_help.h"
#include "device_command_table.h"
#include "device_launcher.h"
#include "image_commands.h"
#include "json_run.h"
#include "quorvel_version.h"
#include "usage.h"

using namespace quorvel::cli;

int main(int argc, char** argv) {
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
        std::printf("quorvel-flash %s\n", quorvel::kVersion);
        return kExitOk;
    }
    if (options.command.empty()) return usageError(stderr, "no command given");
    if (options.dryRun && options.command != "write") {
        return usageError(stderr, "--dry-run works only with write");
    }
    if (options.command == "info") return runInfo(options, stdout, stderr);
    if (options.command == "dump") return runDump(options, stdout, stderr);
    if (options.command == "checksum") return runChecksum(options, stdout, stderr);
    if (findDeviceCommand(options.command) != nullptr) return launchDeviceCommand(argv, stderr);
    return usageError(stderr, "unknown command '" + options.command + "'");
}

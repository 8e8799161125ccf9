// quorvel-flash: the command-line twin of Quorvel Software Writer.

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device_command_table.h"
#include "device_launcher.h"
#include "image_commands.h"
#include "usage.h"

using namespace quorvel::cli;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.options) return usageError(stderr, parsed.error);
    const CliOptions& options = *parsed.options;

    if (options.help) {
        printHelp(stdout);
        return kExitOk;
    }
    if (options.command.empty()) return usageError(stderr, "no command given");
    if (options.command == "info") return runInfo(options, stdout, stderr);
    if (options.command == "dump") return runDump(options, stdout, stderr);
    if (options.command == "checksum") return runChecksum(options, stdout, stderr);
    if (findDeviceCommand(options.command) != nullptr) return launchDeviceCommand(argv, stderr);
    return usageError(stderr, "unknown command '" + options.command + "'");
}

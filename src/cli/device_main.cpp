// quorvel-flash-device: the device commands of quorvel-flash, which hands them over to this
// program (see device_launcher.h). It takes the same command line.

#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device_commands.h"
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
    return runDeviceCommand(options, stdin, stdout, stderr);
}

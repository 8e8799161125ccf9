// quorvel-flash: the command-line twin of Quorvel Software Writer.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_table.h"
#include "device_commands.h"
#include "image_commands.h"
#include "records_command.h"
#include "run_start.h"
#include "usage.h"

using namespace quorvel::cli;

int main(int argc, char** argv) {
    // Each result line reaches a pipe as soon as it is written, not when the run ends.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    CliOptions options;
    if (const std::optional<int> done =
            startRun(std::vector<std::string>(argv, argv + argc), "quorvel-flash", options)) {
        return *done;
    }
    if (options.command == "info") return runInfo(options, stdout, stderr);
    if (options.command == "dump") return runDump(options, stdout, stderr);
    if (options.command == "checksum") return runChecksum(options, stdout, stderr);
    if (options.command == "records") return runRecords(options, stdout, stderr);
    if (const Command* command = findCommand(options.command); command && command->device) {
        return runDeviceCommand(options, stdin, stdout, stderr);
    }
    return usageError(stderr, "unknown command '" + options.command + "'");
}

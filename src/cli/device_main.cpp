// quorvel-flash-device: the device commands of quorvel-flash, which hands them over to this
// program (see device_launcher.h). It takes the same command line.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device_commands.h"
#include "run_start.h"
#include "usage.h"

using namespace quorvel::cli;

int main(int argc, char** argv) {
    // Each result line reaches a pipe as soon as it is written, not when the run ends.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    CliOptions options;
    if (const std::optional<int> done = startRun(std::vector<std::string>(argv, argv + argc),
                                                 "quorvel-flash-device", options)) {
        return *done;
    }
    return runDeviceCommand(options, stdin, stdout, stderr);
}

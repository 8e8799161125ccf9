// quorvel-flash: the command-line twin of Quorvel Software Writer.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_result.h"
#include "command_table.h"
#include "device_lock.h"
#include "json_run.h"
#include "record_database.h"
#include "run_start.h"
#include "terminal.h"
#include "text_out.h"

using namespace quorvel::cli;

namespace {

constexpr size_t kOutputBuffer = 64 * 1024;

CommandResult runCommand(const CliOptions& options) {
    const Command* command = findCommand(options.command);
    if (command == nullptr) return usageProblem("unknown command '" + options.command + "'");
    return command->action(options, stdin, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    openClosedStandardStreams();
    startRunClock();
    // Each writer flushes what it wrote, so each result line reaches a pipe as soon as it is
    // written, not when the run ends; buffered whole, a block of lines goes out in one write, and
    // a reader that stops at the line it wanted (grep -q) leaves no later line to fail on.
    std::setvbuf(stdout, nullptr, _IOFBF, kOutputBuffer);
    // What a device hold set aside (a lock another user planted) is said, as a warning.
    quorvel::setLockNotices(
        [](const std::string& text) { writeLine(stderr, "quorvel-flash: warning: " + text); });
    const std::vector<std::string> args(argv, argv + argc);
    // A database password given on the command line is taken out of the process list (ps,
    // /proc/PID/cmdline) at once, as database clients do.
    for (int i = 1; i < argc; ++i) {
        const auto [begin, length] = quorvel::uriPasswordSpan(argv[i]);
        std::fill_n(argv[i] + begin, length, 'x');
    }
    CliOptions options;
    OutputForm form = OutputForm::Text;
    std::optional<CommandResult> result = startRun(args, options, form);
    if (!result) result = runCommand(options);
    return render(*result, form, options.command, stdout, stderr);
}

#include "command_help.h"

#include <string>

#include "command_table.h"
#include "text_out.h"
#include "usage.h"

namespace quorvel::cli {
namespace {

struct OptionText {
    Option option;
    std::string_view text;
};

constexpr OptionText kOptionTexts[] = {
    {kPort,
     "  -p, --port COMn|DEVICE    the port (default COM1); COMn is the device that\n"
     "                            QUORVEL_COMn names, else the n-th serial port found\n"},
    {kLoader, "  --loader 1.05|1.06        loader generation (default 1.06, \"QZ~FLASHU\")\n"},
    {kSpeed, "  --speed 9600|38400|4800   line speed option (default 9600)\n"},
    {kPin, "  --pin TEXT                the pin, at most 4 characters (default empty)\n"},
    {kMode,
     "  --mode low|high|input|read\n"
     "                            drive the pin low or high, make it an input, or read\n"
     "                            it (default read)\n"},
    {kStrict,
     "  --strict                  take an erase or block answer only when it repeats the\n"
     "                            frame as sent and its answer byte is \"0\"\n"},
    {kYes, "  -y, --yes                 do not ask for confirmation\n"},
    {kDryRun,
     "  --dry-run                 load FILE, open and close the port, and print what\n"
     "                            would be sent; nothing is sent\n"},
    {kJson,
     "  --json                    print one JSON object on standard output instead of text\n"
     "                            (docs/json.md)\n"},
    {kLog, "  --log FILE                write a transcript of the exchanges to FILE\n"},
    {kStation,
     "  --station                 production line: on every port, wait for a device,\n"
     "                            write it, print its PASS/FAIL line, wait until it is\n"
     "                            removed, and again, until Ctrl-C; then the totals\n"},
    {kRecord,
     "  --record FILE             add one JSON line per device to FILE: times, host, port,\n"
     "                            adapter serial, image, SHA-256, check sum, outcome,\n"
     "                            failed step, diagnosis, blocks written (docs/record.md)\n"},
    {kUnit,
     "  --unit ID                 name the board (at most 64 printable characters): its\n"
     "                            unit id goes into the result line, the JSON report and\n"
     "                            the record\n"},
    {kScan,
     "  --scan                    with --station and one --port: read one unit id per\n"
     "                            line from standard input (a barcode scanner), write the\n"
     "                            board on the port for each (a line that is no unit id\n"
     "                            is refused and writes nothing); end of input ends it\n"},
    {kCheck,
     "  --check                   exit 1 when any device or unit recorded is not written\n"},
    {kVerboseQuiet,
     "  -v, --verbose             also print every transcript line (sends, waits,\n"
     "                            replies) on standard error as it happens\n"
     "  -q, --quiet               print only the outcome, warnings and what went wrong\n"},
};

}  // namespace

bool printCommandHelp(std::FILE* out, std::string_view command) {
    const Command* help = findCommand(command);
    if (help == nullptr) return false;
    std::string text = "usage: quorvel-flash " + std::string(help->name);
    if (help->options != 0) text += " [OPTIONS]";
    if (!help->arguments.empty()) text += " " + std::string(help->arguments);
    text += "\n\n" + std::string(help->about);
    if (help->options != 0) {
        text += "\nOptions:\n";
        for (const OptionText& o : kOptionTexts) {
            if (help->options & o.option) text += o.text;
        }
    }
    text += "\nExample:\n  " + std::string(help->example) + "\n";
    writeText(out, text);
    return true;
}

CommandResult runHelp(const CliOptions& options, std::FILE* out) {
    const bool helpCommand = options.command == "help";
    const std::string topic =
        helpCommand ? (options.args.empty() ? "" : options.args[0]) : options.command;
    if (topic.empty()) {
        printHelp(out);
        return {};
    }
    if (!printCommandHelp(out, topic)) return usageProblem("unknown command '" + topic + "'");
    return {};
}

}  // namespace quorvel::cli

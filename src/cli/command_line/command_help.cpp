#include "command_help.h"

#include <string>

#include "usage.h"

namespace quorvel::cli {
namespace {

// The options a command takes, as bits.
enum Option : unsigned {
    kPort = 1u << 0,
    kLoader = 1u << 1,
    kSpeed = 1u << 2,
    kPin = 1u << 3,
    kMode = 1u << 4,
    kStrict = 1u << 5,
    kYes = 1u << 6,
    kDryRun = 1u << 7,
    kJson = 1u << 8,
    kLog = 1u << 9,
    kVerboseQuiet = 1u << 10,
    kRecord = 1u << 11,
    kStation = 1u << 12,
};

// Every device exchange can be reported as JSON, logged, and told more or less.
constexpr unsigned kReporting = kJson | kLog | kVerboseQuiet;

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
     "                            write it, wait until it is removed, and again, until\n"
     "                            Ctrl-C; then print the totals per port\n"},
    {kRecord,
     "  --record FILE             add one JSON line per device to FILE: times, host, port,\n"
     "                            adapter serial, image, SHA-256, check sum, outcome,\n"
     "                            failed step, diagnosis, blocks written (docs/record.md)\n"},
    {kVerboseQuiet,
     "  -v, --verbose             also print every transcript line (sends, waits,\n"
     "                            replies) on standard error as it happens\n"
     "  -q, --quiet               print only the outcome, warnings and what went wrong\n"},
};

struct CommandHelp {
    std::string_view name;
    std::string_view arguments;  // after the command and its options
    std::string_view about;      // what it does, one or more whole lines
    unsigned options;
    std::string_view example;
};

constexpr CommandHelp kCommands[] = {
    {"info", "FILE",
     "Loads FILE (Motorola S-record, or Intel HEX when the name ends in hex) and shows\n"
     "the address ranges that hold data, the number of 1 KiB blocks a write sends and\n"
     "the check sum of C000 to FFFF. Warns about data at E000 to FFFF, which the\n"
     "loader never takes.\n",
     0, "quorvel-flash info QUORVEL_140428_01_02.mot"},
    {"dump", "FILE",
     "Writes the 131072 image bytes of FILE (0x4000 to 0x23FFF, FF where the file\n"
     "holds nothing) to standard output, which must not be a terminal.\n",
     0, "quorvel-flash dump QUORVEL_140428_01_02.mot > image.bin"},
    {"checksum", "FILE [START STOP]",
     "Prints the sum of FILE's image bytes from START to STOP in hexadecimal, as the\n"
     "CHECK SUM box shows it. START and STOP are hexadecimal addresses, with or\n"
     "without 0x (default C000 FFFF); the range must lie within 4000 to 23FFF and\n"
     "STOP must not be below START.\n",
     0, "quorvel-flash checksum QUORVEL_140428_01_02.mot 0x4000 0xBFFF"},
    {"records", "FILE",
     "Sums up a record file that write --record keeps: how many devices succeeded,\n"
     "failed or were interrupted, per image (its path and the start of its SHA-256)\n"
     "and per port, then each device not written with its time, port, failed step\n"
     "and what that step saw. Lines that are not records are counted and named.\n",
     kJson, "quorvel-flash records line3.jsonl"},
    {"write", "FILE",
     "The whole rewrite: connect, erase, program FILE's 1 KiB blocks, disconnect. It\n"
     "asks for confirmation on a terminal and needs --yes elsewhere. With several\n"
     "--port options every device is rewritten at once, one progress line each, then\n"
     "a table of the outcomes; the exit code is 0 only when every device succeeded.\n",
     kPort | kLoader | kStrict | kYes | kDryRun | kStation | kReporting | kRecord,
     "quorvel-flash write --port COM1 --yes --record line3.jsonl QUORVEL_140428_01_02.mot"},
    {"connect", "", "Puts the device's loader into flash mode (success: status 3).\n",
     kPort | kLoader | kReporting, "quorvel-flash connect --port /dev/ttyUSB0 --loader 1.05"},
    {"erase", "", "Erases the flash through the loader (success: status 4); connect first.\n",
     kPort | kStrict | kReporting, "quorvel-flash erase --port COM2"},
    {"program", "FILE",
     "Writes FILE's 1 KiB blocks that hold data to the flash (success: status 0);\n"
     "connect and erase first. It asks for confirmation on a terminal and needs --yes\n"
     "elsewhere.\n",
     kPort | kStrict | kYes | kReporting,
     "quorvel-flash program --port COM1 --log session.txt QUORVEL_140428_01_02.mot"},
    {"disconnect", "", "Leaves the loader (success: status 0).\n", kPort | kReporting,
     "quorvel-flash disconnect --port COM1"},
    {"pin", "",
     "Drives or reads one pin of the device's port and prints the answer: OK, NG,\n"
     "output low, output high, input low or input high, and ??? for any other answer.\n"
     "NG and ??? end with exit code 1.\n",
     kPort | kPin | kMode | kSpeed | kReporting,
     "quorvel-flash pin --port COM1 --pin 3 --mode high"},
    {"text-erase", "",
     "Sends the short ERASE line command, which clears the flash (success: status 0).\n",
     kPort | kReporting, "quorvel-flash text-erase --port COM1"},
    {"text-end", "", "Sends the short END line command (success: status 0).\n", kPort | kReporting,
     "quorvel-flash text-end --port COM1"},
    {"row-write", "FILE",
     "Writes FILE row by row, 16 bytes at a time, through the line commands (success:\n"
     "status 0). A row record carries addresses up to FFFF only. It asks for\n"
     "confirmation on a terminal and needs --yes elsewhere.\n",
     kPort | kSpeed | kYes | kReporting,
     "quorvel-flash row-write --port COM1 --speed 38400 QUORVEL_140428_01_02.mot"},
    {"ports", "",
     "Lists the serial ports with the COM number each maps to, their location,\n"
     "description, manufacturer, USB ids and serial number, and the QUORVEL_COMn\n"
     "overrides in effect.\n",
     0, "quorvel-flash ports"},
    {"help", "[COMMAND]",
     "Shows the overview of all commands, or the help of COMMAND (the same as\n"
     "quorvel-flash COMMAND --help).\n",
     0, "quorvel-flash help write"},
};

const CommandHelp* findCommand(std::string_view name) {
    for (const CommandHelp& c : kCommands) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

}  // namespace

bool printCommandHelp(std::FILE* out, std::string_view command) {
    const CommandHelp* help = findCommand(command);
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
    std::fputs(text.c_str(), out);
    return true;
}

CommandResult runHelp(const CliOptions& options, std::FILE* out) {
    const bool helpCommand = options.command == "help";
    if (helpCommand && options.args.size() > 1) return usageProblem("help takes one COMMAND");
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

#include "command_table.h"

#include "unit_id.h"

namespace quorvel::cli {
namespace {

constexpr Command kCommands[] = {
    {"info", "FILE", 1, 1, kJson, false,
     "Loads FILE (Motorola S-record, or Intel HEX when the name ends in hex) and shows\n"
     "the address ranges that hold data, the number of 1 KiB blocks a write sends and\n"
     "the check sum of C000 to FFFF. Warns about data at E000 to FFFF, which the\n"
     "loader never takes.\n",
     "quorvel-flash info QUORVEL_140428_01_02.mot"},
    {"dump", "FILE", 1, 1, 0, false,
     "Writes the 131072 image bytes of FILE (0x4000 to 0x23FFF, FF where the file\n"
     "holds nothing) to standard output, which must not be a terminal.\n",
     "quorvel-flash dump QUORVEL_140428_01_02.mot > image.bin"},
    {"checksum", "FILE [START STOP]", 1, 3, kJson, false,
     "Prints the sum of FILE's image bytes from START to STOP in hexadecimal, as the\n"
     "CHECK SUM box shows it. START and STOP are hexadecimal addresses, with or\n"
     "without 0x (default C000 FFFF); the range must lie within 4000 to 23FFF and\n"
     "STOP must not be below START.\n",
     "quorvel-flash checksum QUORVEL_140428_01_02.mot 0x4000 0xBFFF"},
    {"records", "FILE...", 1, kAnyCount, kJson | kCheck, false,
     "Sums up the record files that write --record keeps, several stations' at once:\n"
     "how many devices succeeded, failed or were interrupted, per image (its path and\n"
     "the start of its SHA-256) and per port, then each device not written with its\n"
     "time, port, unit, failed step and what that step saw. A unit that failed and was\n"
     "written later counts as written. Lines that are not records are counted and\n"
     "named. With --check the exit code is 1 when any device or unit is not written.\n",
     "quorvel-flash records --check line3-a.jsonl line3-b.jsonl"},
    {"write", "FILE", 1, 1,
     kPort | kLoader | kStrict | kYes | kDryRun | kStation | kReporting | kRecord | kUnit | kScan,
     true,
     "The whole rewrite: connect, erase, program FILE's 1 KiB blocks, disconnect. It\n"
     "asks for confirmation on a terminal and needs --yes elsewhere. With several\n"
     "--port options every device is rewritten at once, one progress line each, then\n"
     "a table of the outcomes; the exit code is 0 only when every device succeeded.\n",
     "quorvel-flash write --port COM1 --yes --record line3.jsonl QUORVEL_140428_01_02.mot"},
    {"connect", "", 0, 0, kPort | kLoader | kReporting, true,
     "Puts the device's loader into flash mode (success: status 3).\n",
     "quorvel-flash connect --port /dev/ttyUSB0 --loader 1.05"},
    {"erase", "", 0, 0, kPort | kStrict | kReporting, true,
     "Erases the flash through the loader (success: status 4); connect first.\n",
     "quorvel-flash erase --port COM2"},
    {"program", "FILE", 1, 1, kPort | kStrict | kYes | kReporting, true,
     "Writes FILE's 1 KiB blocks that hold data to the flash (success: status 0);\n"
     "connect and erase first. It asks for confirmation on a terminal and needs --yes\n"
     "elsewhere.\n",
     "quorvel-flash program --port COM1 --log session.txt QUORVEL_140428_01_02.mot"},
    {"disconnect", "", 0, 0, kPort | kReporting, true, "Leaves the loader (success: status 0).\n",
     "quorvel-flash disconnect --port COM1"},
    {"pin", "", 0, 0, kPort | kPin | kMode | kSpeed | kReporting, true,
     "Drives or reads one pin of the device's port and prints the answer: OK, NG,\n"
     "output low, output high, input low or input high, and ??? for any other answer.\n"
     "NG and ??? end with exit code 1.\n",
     "quorvel-flash pin --port COM1 --pin 3 --mode high"},
    {"text-erase", "", 0, 0, kPort | kReporting, true,
     "Sends the short ERASE line command, which clears the flash (success: status 0).\n",
     "quorvel-flash text-erase --port COM1"},
    {"text-end", "", 0, 0, kPort | kReporting, true,
     "Sends the short END line command (success: status 0).\n",
     "quorvel-flash text-end --port COM1"},
    {"row-write", "FILE", 1, 1, kPort | kSpeed | kYes | kReporting, true,
     "Writes FILE row by row, 16 bytes at a time, through the line commands (success:\n"
     "status 0). A row record carries addresses up to FFFF only. It asks for\n"
     "confirmation on a terminal and needs --yes elsewhere.\n",
     "quorvel-flash row-write --port COM1 --speed 38400 QUORVEL_140428_01_02.mot"},
    // Lists the serial ports; it needs the serial-port library, so it runs with the device
    // commands.
    {"ports", "", 0, 0, kJson, true,
     "Lists the serial ports with the COM number each maps to, their location,\n"
     "description, manufacturer, USB ids and serial number, and the QUORVEL_COMn\n"
     "overrides in effect.\n",
     "quorvel-flash ports"},
    {"help", "[COMMAND]", 0, 1, 0, false,
     "Shows the overview of all commands, or the help of COMMAND (the same as\n"
     "quorvel-flash COMMAND --help).\n",
     "quorvel-flash help write"},
};

// "info takes one FILE", "connect takes no FILE", "checksum takes FILE [START STOP]".
std::string arityRefusal(const Command& c) {
    const std::string name(c.name);
    if (c.mostArgs == 0) return name + " takes no FILE";
    if (c.mostArgs == kAnyCount) return name + " takes one FILE or more";
    if (c.mostArgs == 1) {
        std::string_view what = c.arguments;
        if (what.starts_with('[') && what.ends_with(']')) what = what.substr(1, what.size() - 2);
        return name + " takes one " + std::string(what);
    }
    return name + " takes " + std::string(c.arguments);
}

}  // namespace

std::span<const Command> commandTable() {
    return kCommands;
}

const Command* findCommand(std::string_view name) {
    for (const Command& c : kCommands) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

std::string commandLineProblem(const CliOptions& options) {
    if (options.command.empty()) return "no command given";
    const Command* command = findCommand(options.command);
    if (command == nullptr) return "unknown command '" + options.command + "'";
    // The first option, in the order given, that the command does not take.
    for (std::string_view name : options.given) {
        const OptionEntry* entry = findOption(name);
        if (entry == nullptr || entry->option == 0 || (command->options & entry->option) != 0) {
            continue;
        }
        if (!entry->refusal.empty()) return std::string(entry->refusal);
        return options.command + " does not take " + std::string(name);
    }
    // A station writes each device as it comes; a dry run sends nothing to any.
    if (options.station && options.dryRun) return std::string(findOption("--station")->refusal);
    // A scan names the board on one fixed port; each scan gives its own unit id.
    if (options.scan && (!options.station || options.ports.size() != 1 || !options.unit.empty())) {
        return std::string(findOption("--scan")->refusal);
    }
    if (const std::string problem = unitIdProblem(options.unit); !problem.empty()) {
        return "--unit " + problem;
    }
    // The part in brackets comes whole or not at all: checksum takes FILE or FILE START STOP.
    const bool counted = command->mostArgs == kAnyCount
                             ? options.args.size() >= command->fewestArgs
                             : options.args.size() == command->fewestArgs ||
                                   options.args.size() == command->mostArgs;
    if (!counted) {
        return arityRefusal(*command);
    }
    return {};
}

}  // namespace quorvel::cli

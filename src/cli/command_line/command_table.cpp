#include "command_table.h"

#include "exchanges.h"
#include "unit_id.h"

namespace quorvel::cli {
namespace {

// The exit codes of a command on a file alone, and of one step on a device (2: its transcript).
constexpr int kFileExits[] = {0, 2, 64};
constexpr int kStepExits[] = {0, 1, 2, 64, 130};
// A step that writes the flash asks first (3: cancelled).
constexpr int kFlashStepExits[] = {0, 1, 2, 3, 64, 130};
constexpr int kRecordsExits[] = {0, 1, 2, 64};
constexpr int kWriteExits[] = {0, 1, 2, 3, 4, 5, 64, 130};
constexpr int kListExits[] = {0, 64};
constexpr int kDatabaseExits[] = {0, 2, 64};

constexpr CommandWork kNoDevice{};
constexpr CommandWork kWholeRewrite{FlashWrite::Rewrite};
constexpr CommandWork stepWork(Step step, int16_t success, FlashWrite writes = FlashWrite::None) {
    return {writes, step, success};
}

constexpr Command kCommands[] = {
    {"info", "FILE", true, 1, 1, kJson, true, runInfo, kNoDevice, kFileExits,
     "load FILE and show the address ranges that hold data, the number of 1 KiB blocks a write "
     "sends and the check sum of C000 to FFFF",
     "FILE is read as Intel HEX when its name ends in hex, else as Motorola S-record. Data at "
     "E000 to FFFF, which the loader never takes, is warned about.",
     "quorvel-flash info QUORVEL_140428_01_02.mot"},
    {"dump", "FILE", true, 1, 1, 0, true, runDump, kNoDevice, kFileExits,
     "write the 131072 image bytes of FILE (0x4000 to 0x23FFF, FF where the file holds nothing) "
     "to standard output",
     "Standard output must not be a terminal.",
     "quorvel-flash dump QUORVEL_140428_01_02.mot > image.bin",
     "--json does not go with dump: its output is the binary image"},
    {"checksum", "FILE [START STOP]", true, 1, 3, kJson, true, runChecksum, kNoDevice, kFileExits,
     "print the sum of FILE's image bytes from START to STOP in hexadecimal, as the CHECK SUM box "
     "shows it",
     "START and STOP are hexadecimal addresses, with or without 0x (default C000 FFFF); the range "
     "must lie within 4000 to 23FFF and STOP must not be below START.",
     "quorvel-flash checksum QUORVEL_140428_01_02.mot 0x4000 0xBFFF"},
    {"records", "FILE...", true, 1, kAnyCount,
     kJson | kCheck | kHtml | kCsv | kSince | kUntil | kUnit | kPort | kHost | kImage, false,
     runRecords, kNoDevice, kRecordsExits,
     "sum up the record files of write --record, several stations' at once: the devices per "
     "outcome, image and port, and the ones not written",
     "Each device not written is listed with its time, port, unit, failed step and what that "
     "step saw; a unit that failed and was written later counts as written, units never written "
     "are listed. An attempt whose started line has no final line (a write cut off by kill -9, "
     "a crash or a power cut) counts as interrupted, its state unknown. Lines that are not "
     "records are counted and named. FILE is a record file, - for standard input, or the "
     "PostgreSQL URI that write --record was given (postgresql://USER@HOST/DB). --unit, --port, "
     "--host and --image combine with each other and with --since and --until; a database "
     "is asked for the matching rows alone.",
     "quorvel-flash records --check line3-a.jsonl line3-b.jsonl"},
    {"prepare-database", "URI", false, 1, 1, kJson | kStationRole | kSupervisorRole | kPrintSql,
     false, runPrepareDatabase, kNoDevice, kDatabaseExits,
     "prepare the line's PostgreSQL database at URI as its owner: the record table, its "
     "indexes, a role for the stations (add and read) and one for the supervisors (read)",
     "A role that is missing is made without a login: the administrator gives it one and its "
     "password (ALTER ROLE NAME LOGIN, then \\password NAME in psql), never on a command "
     "line. Run again, it changes nothing that is there. With --print-sql nothing is connected "
     "to: the SQL goes to standard output, for psql.",
     "quorvel-flash prepare-database postgresql://line3@db-host/records"},
    {"write", "FILE", true, 1, 1,
     kPort | kLoader | kStrict | kYes | kDryRun | kStation | kReporting | kRecord | kUnit | kScan |
         kRewrite | kProfile,
     true, runDeviceCommand, kWholeRewrite, kWriteExits,
     "the whole rewrite of the device with FILE: connect, erase, program, disconnect",
     "With several --port options every device is rewritten at once, one progress line each, "
     "then a table of the outcomes; the exit code is 0 only when every device succeeded. With "
     "--profile, FILE may be left out: the profile names the image.",
     "quorvel-flash write -p COM1 -y --record line3.jsonl QUORVEL_140428_01_02.mot"},
    {"connect", "", false, 0, 0, kPort | kLoader | kReporting, false, runDeviceCommand,
     stepWork(Step::Connect, kConnected), kStepExits,
     "put the device's loader into flash mode (success: status 3)", "",
     "quorvel-flash connect --port /dev/ttyUSB0 --loader 1.05"},
    {"erase", "", false, 0, 0, kPort | kStrict | kReporting, false, runDeviceCommand,
     stepWork(Step::Erase, kEraseAccepted), kStepExits, "erase the flash (success: status 4)",
     "Connect first.", "quorvel-flash erase --port COM2"},
    {"program", "FILE", true, 1, 1, kPort | kStrict | kYes | kReporting, true, runDeviceCommand,
     stepWork(Step::Program, kProgramDone, FlashWrite::Blocks), kFlashStepExits,
     "write FILE's 1 KiB blocks that hold data to the flash (success: status 0)",
     "Connect and erase first.",
     "quorvel-flash program --port COM1 --log session.txt QUORVEL_140428_01_02.mot"},
    {"disconnect", "", false, 0, 0, kPort | kReporting, false, runDeviceCommand,
     stepWork(Step::Disconnect, kDisconnected), kStepExits, "leave the loader (success: status 0)",
     "", "quorvel-flash disconnect --port COM1"},
    {"pin", "", false, 0, 0, kPort | kPin | kMode | kSpeed | kReporting, false, runDeviceCommand,
     stepWork(Step::Pin, 0), kStepExits,
     "drive or read one pin of the device's port and print the answer",
     "The answer is OK, NG, output low, output high, input low or input high, and ??? for any "
     "other; NG and ??? end with exit code 1.",
     "quorvel-flash pin --port COM1 --pin 3 --mode high"},
    {"text-erase", "", false, 0, 0, kPort | kReporting, false, runDeviceCommand,
     stepWork(Step::TextErase, kProgramDone), kStepExits,
     "send the short ERASE line command, which clears the flash (success: status 0)", "",
     "quorvel-flash text-erase --port COM1"},
    {"text-end", "", false, 0, 0, kPort | kReporting, false, runDeviceCommand,
     stepWork(Step::TextEnd, kProgramDone), kStepExits,
     "send the short END line command (success: status 0)", "",
     "quorvel-flash text-end --port COM1"},
    {"row-write", "FILE", true, 1, 1, kPort | kSpeed | kYes | kReporting, true, runDeviceCommand,
     stepWork(Step::RowWrite, kProgramDone, FlashWrite::Rows), kFlashStepExits,
     "write FILE row by row, 16 bytes at a time, through the line commands (success: status 0)",
     "A row record carries addresses up to FFFF only.",
     "quorvel-flash row-write --port COM1 --speed 38400 QUORVEL_140428_01_02.mot"},
    {"ports", "", false, 0, 0, kJson, false, runPorts, kNoDevice, kListExits,
     "list the serial ports with the COM number each maps to, their location, description, "
     "manufacturer, USB ids and serial number, and the QUORVEL_COMn overrides in effect",
     "", "quorvel-flash ports"},
    {"help", "[COMMAND]", false, 0, 1, 0, false, runHelp, kNoDevice, kListExits,
     "show the overview of all commands, or the usage, options, exit codes and an example of "
     "COMMAND",
     "quorvel-flash COMMAND --help does the same.", "quorvel-flash help write",
     "--json does not go with help"},
};

// A firmware image is a file: the completion offers files wherever a command takes one.
static_assert(std::ranges::all_of(kCommands,
                                  [](const Command& c) { return c.takesFile || !c.takesImage; }),
              "a command whose first argument is an image takes a file");

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
    const Command* c = std::ranges::find(kCommands, name, &Command::name);
    return c != std::end(kCommands) ? c : nullptr;
}

const Command& commandOf(const CliOptions& options) {
    const Command* command = findCommand(options.command);
    return command != nullptr ? *command : kCommands[std::size(kCommands) - 1];
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
    // Both would go to standard output.
    if (options.csv && options.json) return "--csv and --json cannot be used together";
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

#pragma once
// Every command of quorvel-flash in one table: its arguments, the options it takes, what it runs
// and does to a device, its exit codes, and its help. The command line is checked against it before
// any command runs; the help, the man page and the bash completion come from it too.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli_options.h"
#include "command_actions.h"
#include "step.h"

namespace quorvel::cli {

constexpr size_t kAnyCount = static_cast<size_t>(-1);

// What a command writes to the device's flash, if anything.
enum class FlashWrite {
    None,
    Rewrite,  // the whole rewrite: connect, erase, every block, disconnect (write)
    Blocks,   // the 1 KiB blocks alone (program)
    Rows,     // row by row through the line commands (row-write)
};

// What a device command does on the line: the rewrite, or one exchange and the status that
// means it succeeded (the pin's every state is a good answer; NG and the unknown are not).
struct CommandWork {
    FlashWrite writes = FlashWrite::None;
    std::optional<Step> step{};  // the one exchange of a step command
    int16_t success = 0;
};

struct Command {
    std::string_view name;
    std::string_view arguments;  // as the usage line shows them, after the options
    bool takesFile;  // its arguments name files: a firmware image, or (records) record files
    // How many arguments it takes: one of the two, or from fewestArgs on when mostArgs is
    // kAnyCount. The part of `arguments` in brackets is given whole or not at all.
    size_t fewestArgs;
    size_t mostArgs;
    unsigned options;            // Option bits; --help and --version go with every command
    bool takesImage;             // its first argument is a firmware image file
    CommandAction action;        // what runs once the command line is checked
    CommandWork work;            // what it does to a device; nothing for the rest
    std::span<const int> exits;  // the exit codes it can end with
    std::string_view summary;    // what it does, a phrase: its line in the overview
    std::string_view details;    // whole sentences that its help adds to the summary; may be empty
    std::string_view example;    // one command line
    std::string_view jsonRefusal{};  // why --json does not go with it; empty when that is not said

    bool mayEndWith(int exitCode) const {
        return std::ranges::find(exits, exitCode) != exits.end();
    }
    bool writesFlash() const { return work.writes != FlashWrite::None; }
};

// The endings of the firmware files the tool reads, in small letters: an ending in HEX is read
// as Intel HEX, every other as Motorola S-records (so a .ihx file is not one of them).
inline constexpr std::string_view kImageFileTypes[] = {"mot", "s19", "s28", "s37", "srec", "hex"};

std::span<const Command> commandTable();

// The entry for `name`, or nullptr when there is no such command.
const Command* findCommand(std::string_view name);
// The entry of the command `options` name; the command line is checked: it names one.
const Command& commandOf(const CliOptions& options);

// Why the command line cannot run, or empty when it can: no command or an unknown one, an
// option the command does not take, options that do not go together, or the wrong number of
// arguments. --help and --version are answered before this is asked.
std::string commandLineProblem(const CliOptions& options);

}  // namespace quorvel::cli

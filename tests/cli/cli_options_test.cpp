// The command line of quorvel-flash: option forms, "--", bundled short options, the options that
// clash or that a command does not take, and that every command has its own help.

#include "cli_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_help.h"
#include "command_table.h"
#include "run_start.h"

using namespace quorvel::cli;

namespace {

std::string list(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return "[" + text + "]";
}

// What the parser made of a command line, naming only what differs from the defaults.
std::string describe(const CliOptions& o) {
    const CliOptions defaults;
    std::string text = o.command;
    if (!o.args.empty()) text += " args=" + list(o.args);
    if (!o.ports.empty()) text += " ports=" + list(o.ports);
    if (o.loader != defaults.loader) text += " loader=" + o.loader;
    if (o.speed != defaults.speed) text += " speed=" + o.speed;
    if (o.pin != defaults.pin) text += " pin=" + o.pin;
    if (o.mode != defaults.mode) text += " mode=" + o.mode;
    if (o.logFile != defaults.logFile) text += " log=" + o.logFile;
    const std::pair<bool, const char*> flags[] = {
        {o.yes, "yes"},         {o.json, "json"},   {o.strict, "strict"}, {o.dryRun, "dry-run"},
        {o.verbose, "verbose"}, {o.quiet, "quiet"}, {o.help, "help"},     {o.version, "version"},
    };
    for (const auto& [set, name] : flags) {
        if (set) text += std::string(" ") + name;
    }
    return text;
}

std::string repeated(const std::string& text, size_t times) {
    std::string all;
    for (size_t i = 0; i < times; ++i) all += text;
    return all;
}

constexpr const char* kUnitNotPrintable =
    "--unit must be printable: no control or format characters (such as a line end or an escape)";

struct ParseCase {
    std::vector<std::string> args;  // after the program name
    std::string expected;           // describe() of the options, or "error: " and the message
};

TEST(CliOptions, FormsOfTheOptions) {
    const std::vector<ParseCase> cases = {
        {{"write", "--port=COM2", "f.mot"}, "write args=[f.mot] ports=[COM2]"},
        {{"write", "-p", "COM3", "--port", "/dev/ttyUSB0", "f.mot"},
         "write args=[f.mot] ports=[COM3,/dev/ttyUSB0]"},
        {{"connect", "--port="}, "connect ports=[]"},  // one empty value, refused later
        {{"pin", "--pin=3", "--mode=high", "--speed=38400", "--loader=1.05", "--log=a=b.log"},
         "pin loader=1.05 speed=38400 pin=3 mode=high log=a=b.log"},
        {{"pin", "--pin=", "--mode", "input"}, "pin mode=input"},
        {{"checksum", "--", "-x.mot", "--help"}, "checksum args=[-x.mot,--help]"},
        {{"--", "-x"}, "-x"},
        {{"info", "-", "--", "--"}, "info args=[-,--]"},
        {{"write", "--dry-run", "-y", "--json", "--strict", "f"},
         "write args=[f] yes json strict dry-run"},
        {{"erase", "-v"}, "erase verbose"},
        {{"erase", "--quiet"}, "erase quiet"},
        {{"-V"}, " version"},
        {{"write", "--help", "--version"}, "write help version"},
        {{"erase", "-v", "-q"}, "error: --verbose and --quiet cannot be used together"},
        {{"erase", "--verbose", "--quiet"}, "error: --verbose and --quiet cannot be used together"},
        {{"write", "--yes=1"}, "error: option --yes takes no value"},
        {{"write", "--port"}, "error: option --port needs a value"},
        {{"write", "-p"}, "error: option -p needs a value"},
        {{"write", "-p=COM2"}, "error: unknown option -p=COM2"},
        {{"write", "--bogus=1"}, "error: unknown option --bogus"},
        // A slip of a letter or two names the option meant: swapped, missing, extra, wrong.
        {{"write", "--prot", "COM2"}, "error: unknown option --prot; did you mean --port?"},
        {{"write", "--recrd=r"}, "error: unknown option --recrd; did you mean --record?"},
        {{"write", "--yess"}, "error: unknown option --yess; did you mean --yes?"},
        {{"write", "--stirct"}, "error: unknown option --stirct; did you mean --strict?"},
        {{"pin", "--mode=both"}, "error: --mode takes low, high, input or read"},
        {{"write", "--loader=1.07"}, "error: --loader takes 1.05 or 1.06"},
        {{"write", "--speed=1200"}, "error: --speed takes 9600, 38400 or 4800"},
        // Bundled short options; one that takes a value ends the bundle.
        {{"write", "-qy", "f"}, "write args=[f] yes quiet"},
        {{"write", "-vy", "f"}, "write args=[f] yes verbose"},
        {{"write", "-yp", "COM2", "f"}, "write args=[f] ports=[COM2] yes"},
        {{"write", "-ypCOM2", "-p/dev/ttyUSB0", "f"},
         "write args=[f] ports=[COM2,/dev/ttyUSB0] yes"},
        {{"connect", "-pCOM2"}, "connect ports=[COM2]"},
        {{"info", "--", "-qy"}, "info args=[-qy]"},
        {{"write", "-yp"}, "error: option -p needs a value"},
        {{"write", "-vq"}, "error: --verbose and --quiet cannot be used together"},
        {{"write", "-qx"}, "error: unknown option -x in -qx"},
        {{"write", "-y=1"}, "error: unknown option -y=1"},
    };
    for (const ParseCase& c : cases) {
        std::vector<std::string> argv = {"quorvel-flash"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ParseResult parsed = parseCommandLine(argv);
        const std::string got =
            parsed.options ? describe(*parsed.options) : "error: " + parsed.error;
        EXPECT_EQ(got, c.expected);
    }
}

// What the command table refuses before any command runs: options a command does not take,
// options that do not go together, and the wrong number of arguments.
TEST(CommandTable, RefusesWhatTheCommandDoesNotTake) {
    const std::vector<ParseCase> cases = {
        {{"info", "--json", "f"}, ""},
        {{"checksum", "--json", "f", "4000", "40FF"}, ""},
        {{"ports", "--json"}, ""},
        {{"help"}, ""},
        {{"pin", "-vpCOM1", "--pin", "3", "--mode", "low", "--speed", "4800", "--log", "l"}, ""},
        {{"write", "-yq", "--loader", "1.05", "--strict", "--record", "r", "-p1", "-p2", "--json",
          "f"},
         ""},
        {{"write", "--dry-run", "-p", "COM1", "f"}, ""},
        {{"info", "--yes", "f"}, "info does not take --yes"},
        {{"checksum", "--port", "COM3", "f"}, "checksum does not take --port"},
        {{"dump", "--log", "x", "f"}, "dump does not take --log"},
        {{"write", "--speed", "4800", "f"}, "write does not take --speed"},
        {{"info", "-q", "f"}, "info does not take --quiet"},
        {{"connect", "-vy"}, "connect does not take --yes"},
        {{"erase", "--loader", "1.05"}, "erase does not take --loader"},
        {{"text-end", "--strict"}, "text-end does not take --strict"},
        {{"help", "--port", "COM1", "write"}, "help does not take --port"},
        {{"info", "--station", "f"}, "--station works only with write, and not with --dry-run"},
        {{"write", "--station", "--dry-run", "f"},
         "--station works only with write, and not with --dry-run"},
        {{"program", "--dry-run", "f"}, "--dry-run works only with write"},
        {{"checksum", "--record", "r", "f"}, "--record works only with write"},
        {{"info"}, "info takes one FILE"},
        {{"records", "--check", "a", "b", "c"}, ""},
        {{"records"}, "records takes one FILE or more"},
        {{"write", "--check", "f"}, "--check works only with records"},
        {{"records", "--unit", "U1", "a"}, "--unit works only with write"},
        {{"write", "--station", "--scan", "-p1", "--unit", "U1", "f"},
         "--scan works only with write --station and one --port"},
        {{"write", "--scan", "-p1", "f"}, "--scan works only with write --station and one --port"},
        {{"write", "--station", "--scan", "-p1", "-p2", "f"},
         "--scan works only with write --station and one --port"},
        {{"write", "--station", "--scan", "-p1", "f"}, ""},
        // A unit id is at most 64 printable characters of any script.
        {{"write", "--unit", repeated("日", 64), "f"}, ""},
        {{"write", "--unit", "e\xcc\x81 \xe2\x9c\x93 Ü-1", "f"}, ""},  // a combining mark, a symbol
        {{"write", "--unit", repeated("U", 65), "f"}, "--unit takes at most 64 characters"},
        {{"write", "--unit", "U-7\nPASS  COM9", "f"}, kUnitNotPrintable},
        {{"write", "--unit", "U-7\x1b[2J", "f"}, kUnitNotPrintable},
        {{"write", "--unit",
          "U-7\xc2\x9b"
          "2J",
          "f"},
         kUnitNotPrintable},  // the C1 escape
        {{"write", "--unit",
          "U-\xe2\x80\xae"
          "7",
          "f"},
         kUnitNotPrintable},  // right-to-left
        {{"write", "--unit", "U-7\xff", "f"}, "--unit must be UTF-8 text"},
        {{"checksum", "f", "4000"}, "checksum takes FILE [START STOP]"},
        {{"connect", "f"}, "connect takes no FILE"},
        {{"help", "write", "info"}, "help takes one COMMAND"},
        {{}, "no command given"},
        {{"flash", "f"}, "unknown command 'flash'"},
    };
    for (const ParseCase& c : cases) {
        std::vector<std::string> argv = {"quorvel-flash"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ParseResult parsed = parseCommandLine(argv);
        ASSERT_TRUE(parsed.options) << parsed.error;
        EXPECT_EQ(commandLineProblem(*parsed.options), c.expected);
        if (c.expected.empty()) continue;
        // Refused before anything runs, as a usage error.
        CliOptions options;
        OutputForm form = OutputForm::Text;
        const std::optional<CommandResult> refused = startRun(argv, options, form);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->exitCode, kExitUsage);
    }
}

// The lines that `print` writes.
template <typename Print>
std::vector<std::string> printedLines(Print print) {
    std::vector<std::string> lines;
    std::FILE* out = std::tmpfile();
    if (out == nullptr) return lines;
    print(out);
    std::rewind(out);
    char line[256] = {};
    while (std::fgets(line, sizeof line, out) != nullptr) lines.emplace_back(line);
    std::fclose(out);
    return lines;
}

// Every command quorvel-flash runs answers `help COMMAND` with its own usage line, and every
// help, the overview included, fits a terminal of 80 columns.
TEST(CommandHelp, EveryCommandHasItsHelp) {
    for (const char* command :
         {"info", "dump", "checksum", "write", "connect", "erase", "program", "disconnect", "pin",
          "text-erase", "text-end", "row-write", "ports", "records", "help", ""}) {
        SCOPED_TRACE(command);
        CliOptions options;
        options.command = "help";
        if (*command != '\0') options.args = {command};
        int exitCode = -1;
        const std::vector<std::string> lines =
            printedLines([&](std::FILE* out) { exitCode = runHelp(options, out).exitCode; });
        EXPECT_EQ(exitCode, kExitOk);
        ASSERT_FALSE(lines.empty());
        const std::string usage =
            "usage: quorvel-flash " + std::string(*command ? command : "COMMAND");
        EXPECT_TRUE(lines[0] == usage + "\n" || lines[0].starts_with(usage + " ")) << lines[0];
        for (const std::string& line : lines) {
            EXPECT_LE(line.size(), 81u) << line;  // 80 columns and the line end
        }
    }
}

}  // namespace

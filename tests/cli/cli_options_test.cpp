// The command line of quorvel-flash: option forms, "--", bundled short options, the options that
// clash or that a command does not take, and that every command has its own help.

#include "cli_options.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_actions.h"
#include "command_help.h"
#include "command_table.h"
#include "run_start.h"
#include "station_profile.h"

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
        {{"connect", "--port="}, "error: --port needs COMn|DEVICE, not an empty value"},
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
        // An empty file, database or time names none: not taken as "no record".
        {{"write", "--record", ""}, "error: --record needs FILE, not an empty value"},
        {{"write", "--log="}, "error: --log needs FILE, not an empty value"},
        {{"records", "--html", "", "f"}, "error: --html needs FILE, not an empty value"},
        {{"records", "--since="}, "error: --since needs TIME, not an empty value"},
        {{"write", "--unit=", "f"}, "error: --unit needs ID, not an empty value"},
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
        {{"info", "--profile", "p", "f"}, "--profile works only with write"},
        {{"info"}, "info takes one FILE"},
        {{"records", "--check", "a", "b", "c"}, ""},
        {{"records"}, "records takes one FILE or more"},
        {{"write", "--check", "f"}, "--check works only with records"},
        {{"info", "--unit", "U1", "a"}, "--unit works only with write and records"},
        {{"records", "--unit", "U1", "--host", "line3", "-pCOM1", "a"}, ""},
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

// A station's profile: what it refuses, each time naming its file and line, and what it puts
// into the options where the command line gave nothing.
TEST(StationProfile, RefusedOrApplied) {
    const std::string sha(64, 'a');
    const std::string ports = "{\n\"image\": \"fw.mot\",\n\"approved_sha256\": [\"" + sha +
                              "\"],\n\"ports\": [\"/dev/a\"";
    const std::string good = ports + "]";
    struct Case {
        std::string text;               // the profile's
        std::vector<std::string> args;  // the command line, after the program name
        std::string expected;           // the problem, or describe() and the record, name, scan
    };
    const std::string in = "profile conf/line3.json line ";
    const std::vector<Case> cases = {
        {good + "}",
         {"write", "--station"},
         "write args=[conf/fw.mot] ports=[/dev/a] record= name=line3"},
        {good + ", \"name\": \"L3\", \"record\": \"r.jsonl\", \"strict\": true,\n"
                "\"scan\": true, \"loader\": \"1.05\"}",
         {"write", "--station"},
         "write args=[conf/fw.mot] ports=[/dev/a] loader=1.05 strict record=conf/r.jsonl name=L3 "
         "scan"},
        // The command line wins; a scan is for a station only.
        {good + ", \"record\": \"postgresql://u@h/db\", \"scan\": true, \"loader\": \"1.05\"}",
         {"write", "-p", "COM2", "--record", "x", "--loader", "1.06", "/fw/other.mot"},
         "write args=[/fw/other.mot] ports=[COM2] record=x name=line3"},
        {"{\"image\": \"fw.mot\",\n  \"ports\": [\"a\" \"b\"]}",
         {"write"},
         in + "2: not JSON: missing value separator"},
        {"[1]", {"write"}, in + "1: a profile is one JSON object: { \"image\": ..., ... }"},
        {good + ",\n\"prots\": []}",
         {"write"},
         in + "5: unknown key \"prots\" (a profile takes name, image, approved_sha256, ports, "
              "record, log, loader, strict, scan and rewrite)"},
        {good + ",\n\"image\": \"b.mot\"}", {"write"}, in + "5: \"image\" is given twice"},
        {good + ",\n\"strict\": \"yes\"}", {"write"}, in + "5: \"strict\" takes true or false"},
        {"{\"approved_sha256\": [\"" + sha + "\"],\n\"ports\": [\"a\"]}",
         {"write"},
         in + "1: no \"image\": name the firmware file the line writes"},
        {"{\"image\": \"f\",\n\"approved_sha256\": [\"" + sha + "\"],\n\"ports\": []}",
         {"write"},
         in + "3: no \"ports\": name each fixture's port (a stable name such as "
              "/dev/serial/by-path/...)"},
        {"{\"image\": \"f\",\n\"ports\": [\"a\"]}",
         {"write"},
         in + "1: no \"approved_sha256\": list the SHA-256 of each image the line may write "
              "(sha256sum FILE shows it)"},
        {"{\"image\": \"f\", \"approved_sha256\": [\n\"" + sha + "\",\n\"" + sha.substr(1) +
             "g\"],\n\"ports\": [\"a\"]}",
         {"write"},
         in + "3: \"approved_sha256\" holds \"" + sha.substr(1) +
             "g\", which is no SHA-256 (64 hexadecimal digits)"},
        {ports + ",\n\"/dev/b\",\n\"/dev/a\"]}",
         {"write"},
         in + "6: the port /dev/a is given twice"},
        {good + ",\n\"record\": \"postgresql://u:secret@h/db\"}",
         {"write"},
         in + "5: the record's URI holds a password: keep it in the station user's ~/.pgpass (or "
              "the file PGPASSFILE names), not in the profile"},
        {ports + ", \"/dev/b\"],\n\"scan\": true}",
         {"write"},
         in + "5: \"scan\" needs exactly one port in \"ports\" (it has 2)"},
        {good + ",\n\"name\": \"L\\u001b[2J\"}",
         {"write"},
         in + "5: \"name\" names the station: must be printable: no control or format characters "
              "(such as a line end or an escape)"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkdir("conf"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QFile file("conf/line3.json");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::fromStdString(c.text));
        file.close();
        std::vector<std::string> argv = {"quorvel-flash", "--profile", "conf/line3.json"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        CliOptions o = *parseCommandLine(argv).options;
        std::string problem;
        const std::string got = applyStationProfile(o.profile, o, problem)
                                    ? describe(o) + " record=" + o.record +
                                          " name=" + o.profileName + (o.scan ? " scan" : "")
                                    : problem;
        EXPECT_EQ(got, c.expected);
    }
    QDir::setCurrent(before);
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
        const std::vector<std::string> lines = printedLines(
            [&](std::FILE* out) { exitCode = runHelp(options, nullptr, out, nullptr).exitCode; });
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

#pragma once
// Command line of quorvel-flash: one command word, options, and positional arguments.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_result.h"

namespace quorvel::cli {

struct CliOptions {
    std::string command;
    std::vector<std::string> args;        // positional arguments after the command
    std::vector<std::string> ports;       // --port / -p, repeatable
    std::string loader = "1.06";          // --loader 1.05|1.06
    std::string speed = "9600";           // --speed 9600|38400|4800
    std::string pin;                      // --pin TEXT
    std::string mode = "read";            // --mode low|high|input|read
    std::string logFile;                  // --log FILE
    std::string record;                   // --record FILE|URI (write)
    std::string unit;                     // --unit ID: the board written; (records) its attempts
    std::string host;                     // --host NAME (records): one station's attempts
    std::string image;                    // --image FILE|SHA256 (records): one image's attempts
    std::string html;                     // --html FILE (records): the report page
    std::string since;                    // --since TIME (records): from this start on
    std::string until;                    // --until TIME (records): before this start
    std::string stationRole;              // --station-role NAME (prepare-database)
    std::string supervisorRole;           // --supervisor-role NAME (prepare-database)
    std::string profile;                  // --profile FILE (write): a station's set-up
    std::string profileName;              // the profile's name for the station
    std::vector<std::string> approved;    // the profile's SHA-256 values: the images it allows
    bool yes = false;                     // --yes
    bool json = false;                    // --json
    bool strict = false;                  // --strict
    bool dryRun = false;                  // --dry-run
    bool station = false;                 // --station (write)
    bool check = false;                   // --check (records)
    bool printSql = false;                // --print-sql (prepare-database)
    bool csv = false;                     // --csv (records)
    bool scan = false;                    // --scan (write --station, one port)
    bool rewrite = false;                 // --rewrite (write): a unit the record shows written
    bool verbose = false;                 // --verbose / -v
    bool quiet = false;                   // --quiet / -q (never together with verbose)
    bool help = false;                    // --help / -h
    bool version = false;                 // --version / -V
    std::vector<std::string_view> given;  // the long name of each option given, in order

    // Whether the steps, the progress and a failure's diagnosis go to standard error as they
    // happen. Only --quiet stops them: with --json standard output keeps the object alone, and
    // a job that watches a long write still sees it alive on standard error.
    bool showsProgress() const { return !quiet; }
};

// The options, as bits: the command table names with them the options each command takes.
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
    kUnit = 1u << 13,
    kScan = 1u << 14,
    kCheck = 1u << 15,
    kRewrite = 1u << 16,
    kHtml = 1u << 17,
    kCsv = 1u << 18,
    kSince = 1u << 19,
    kUntil = 1u << 20,
    kProfile = 1u << 21,
    kHost = 1u << 22,
    kImage = 1u << 23,
    kStationRole = 1u << 24,
    kSupervisorRole = 1u << 25,
    kPrintSql = 1u << 26,
};

// Every device exchange can be reported as JSON, logged, and told more or less.
constexpr unsigned kReporting = kJson | kLog | kVerboseQuiet;

// One option of the command line, with its help.
struct OptionEntry {
    std::string_view longName;
    char shortName;   // '\0': none
    unsigned option;  // its bit; 0 for --help and --version, which go with every command
    // What it sets: a flag, or a text for an option with a value; neither for --port, which
    // collects every value it is given.
    bool CliOptions::*flag;
    std::string CliOptions::*value;
    std::string_view help;           // what it does: a phrase, lower case and without a full stop
    std::string_view argument = {};  // the value as the help names it when any value goes
    std::string_view values = {};    // the values it takes, blank-separated; empty: any
    // The message for a command that does not take it; empty: "COMMAND does not take --NAME".
    std::string_view refusal = {};

    bool takesValue() const { return flag == nullptr; }
    // The value as the help shows it: "FILE", "1.05|1.06"; empty for a flag.
    std::string argumentName() const;
};

std::span<const OptionEntry> optionTable();
const OptionEntry* findOption(std::string_view longName);

struct ParseResult {
    std::optional<CliOptions> options;
    std::string error;  // set when options is empty
};

// Options may stand anywhere; an option that takes a value takes the next argument or, in its
// long form, the text after "=" (--port=COM2). Short options may be bundled (-qy is -q -y); one
// that takes a value ends the bundle and takes the rest of it (-pCOM2, -ypCOM2) or, when
// nothing is left, the next argument (-yp COM2). "--" ends the options: every argument after it
// is positional, even one that begins with "-". Which options and how many arguments a command
// takes is checked afterwards, against the command table.
ParseResult parseCommandLine(const std::vector<std::string>& argv);

// Whether `word` is one of the blank-separated `words`.
bool listed(std::string_view word, std::string_view words);
// The blank-separated `words` as said in a sentence: "a", "a or b", "a, b or c" (`last` = "or").
std::string spoken(std::string_view words, std::string_view last);

}  // namespace quorvel::cli

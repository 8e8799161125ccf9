#include "cli_options.h"

#include <algorithm>
#include <optional>
#include <ranges>
#include <string_view>
#include <vector>

namespace quorvel::cli {
namespace {

constexpr OptionEntry kOptions[] = {
    {"--port", 'p', kPort, nullptr, nullptr,
     "the port (default COM1); COMn is the device that QUORVEL_COMn names, else the n-th serial "
     "port found (USB and ACM adapters first, ttyS ports last; see ports); write takes it more "
     "than once, one device per port; records counts only the attempts at these ports, as the "
     "station named them",
     "COMn|DEVICE"},
    {"--loader", '\0', kLoader, nullptr, &CliOptions::loader,
     "loader generation (default 1.06, \"QZ~FLASHU\")", "", "1.05 1.06"},
    {"--speed", '\0', kSpeed, nullptr, &CliOptions::speed, "line speed option (default 9600)", "",
     "9600 38400 4800"},
    {"--pin", '\0', kPin, nullptr, &CliOptions::pin,
     "the pin, at most 4 characters (default empty)", "TEXT"},
    {"--mode", '\0', kMode, nullptr, &CliOptions::mode,
     "drive the pin low or high, make it an input, or read it (default read)", "",
     "low high input read"},
    {"--yes", 'y', kYes, &CliOptions::yes, nullptr,
     "write without asking: on a terminal the command asks for confirmation, elsewhere it needs "
     "--yes"},
    {"--dry-run", '\0', kDryRun, &CliOptions::dryRun, nullptr,
     "load FILE, open and close every port, and print the blocks, the bytes each way and the time "
     "on the line that a write would take; nothing is sent",
     "", "", "--dry-run works only with write"},
    {"--strict", '\0', kStrict, &CliOptions::strict, nullptr,
     "take an erase or block answer only when it repeats the frame as sent and its answer byte is "
     "\"0\" (without it any whole answer but \"E\" is taken, and a write whose answers did not "
     "confirm every frame ends unconfirmed, exit code 4)"},
    {"--json", '\0', kJson, &CliOptions::json, nullptr,
     "print one JSON object on standard output instead of text, errors included: the outcome, "
     "exit code, image, each port's device and steps (docs/json.md)"},
    {"--log", '\0', kLog, nullptr, &CliOptions::logFile,
     "write a transcript to FILE: the time of every line, each step, the bytes sent and received "
     "and each step's status; with several ports one file per port (run.log: run-COM2.log, "
     "run-ttyUSB0.log), with --station one per device",
     "FILE"},
    {"--station", '\0', kStation, &CliOptions::station, nullptr,
     "production line: on every port wait for a device, write it, show its result (on a "
     "terminal, a board with a row per port under the running totals; otherwise its PASS, FAIL "
     "or UNCONFIRMED line), wait until it is removed or replaced, and again, until Ctrl-C or "
     "SIGTERM; then the totals (a board that did not answer its connect is tried again in place)",
     "", "", "--station works only with write, and not with --dry-run"},
    {"--record", '\0', kRecord, nullptr, &CliOptions::record,
     "add a JSON line per device to FILE before its first byte (the attempt started) and "
     "another as its write ends: times, host, port, unit, adapter serial, image, SHA-256, check "
     "sum, outcome, failed step, diagnosis, blocks written (docs/record.md); earlier lines stay. "
     "A PostgreSQL URI (postgresql://USER@HOST/DB, the password in ~/.pgpass or the file "
     "PGPASSFILE names, not on the command line) keeps them in that database instead",
     "FILE", "", "--record works only with write"},
    {"--profile", '\0', kProfile, nullptr, &CliOptions::profile,
     "take the station's set-up from the profile FILE (JSON: name, image, approved_sha256, ports, "
     "record, log, loader, strict, scan, rewrite; see README): its image when no FILE is given, "
     "its ports when no --port is; an option given on the command line wins over the profile's. "
     "An image whose SHA-256 is not in approved_sha256 is refused (exit code 3), and so is a "
     "profile that other users can change; nothing is sent",
     "FILE", "", "--profile works only with write"},
    {"--unit", '\0', kUnit, nullptr, &CliOptions::unit,
     "name the board (at most 64 printable characters): its unit id goes into the result line, "
     "the JSON report and the record; records lists every attempt at unit ID, from every "
     "station, in time order",
     "ID", "", "--unit works only with write and records"},
    {"--host", '\0', kHost, nullptr, &CliOptions::host,
     "count only the attempts of the station on host NAME", "NAME", "",
     "--host works only with records"},
    {"--image", '\0', kImage, nullptr, &CliOptions::image,
     "count only the attempts that wrote the image FILE (its path as recorded) or the image "
     "whose SHA-256 is or begins with SHA256 (12 digits or more, as the summary shows it)",
     "FILE|SHA256", "", "--image works only with records"},
    {"--scan", '\0', kScan, &CliOptions::scan, nullptr,
     "with --station and one --port: read one unit id per line from standard input (a barcode "
     "scanner) and write the board on the port for each (a line that is no unit id is refused "
     "and writes nothing); the end of the input ends it",
     "", "", "--scan works only with write --station and one --port"},
    {"--rewrite", '\0', kRewrite, &CliOptions::rewrite, nullptr,
     "write a unit again that the --record file shows written (without it such a unit is "
     "refused, with exit code 3, or in scan mode passed over until the next scan; nothing is "
     "sent to it)",
     "", "", "--rewrite works only with write"},
    {"--check", '\0', kCheck, &CliOptions::check, nullptr,
     "exit 2 when any line could not be read or an attempt has no final line, else 1 when any "
     "device or unit recorded is not written",
     "", "", "--check works only with records"},
    {"--html", '\0', kHtml, nullptr, &CliOptions::html,
     "also write the report to FILE, one web page that needs nothing else: yield per fixture, "
     "image and hour, failures by cause, write times, the units not written",
     "FILE", "", "--html works only with records"},
    {"--csv", '\0', kCsv, &CliOptions::csv, nullptr,
     "print every attempt as a row of comma-separated values (a header row first) instead of "
     "the summary, for a spreadsheet",
     "", "", "--csv works only with records"},
    {"--since", '\0', kSince, nullptr, &CliOptions::since,
     "count only the attempts that started at TIME or later (ISO 8601, such as "
     "2026-03-02T08:00:00Z; a time without a zone is UTC)",
     "TIME", "", "--since works only with records"},
    {"--until", '\0', kUntil, nullptr, &CliOptions::until,
     "count only the attempts that started before TIME (ISO 8601, as --since)", "TIME", "",
     "--until works only with records"},
    {"--station-role", '\0', kStationRole, nullptr, &CliOptions::stationRole,
     "the role of the stations, which may add record lines and read them (default "
     "quorvel_station)",
     "NAME", "", "--station-role works only with prepare-database"},
    {"--supervisor-role", '\0', kSupervisorRole, nullptr, &CliOptions::supervisorRole,
     "the role of the supervisors, which may read the record lines (default quorvel_supervisor)",
     "NAME", "", "--supervisor-role works only with prepare-database"},
    {"--print-sql", '\0', kPrintSql, &CliOptions::printSql, nullptr,
     "print the SQL for the database's administrator instead of running it; nothing is "
     "connected to",
     "", "", "--print-sql works only with prepare-database"},
    {"--verbose", 'v', kVerboseQuiet, &CliOptions::verbose, nullptr,
     "also print every transcript line (sends, waits, replies) on standard error as it happens"},
    {"--quiet", 'q', kVerboseQuiet, &CliOptions::quiet, nullptr,
     "print only the outcome, warnings and what went wrong: no port line, no steps, no progress"},
    {"--help", 'h', 0, &CliOptions::help, nullptr,
     "show the overview, or after a command that command's help"},
    {"--version", 'V', 0, &CliOptions::version, nullptr, "show the version"},
};

const OptionEntry* findShort(char name) {
    const OptionEntry* o = std::ranges::find(kOptions, name, &OptionEntry::shortName);
    return name != '\0' && o != std::end(kOptions) ? o : nullptr;
}

bool isOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

// Stores one option with its value (empty for a flag). Returns the refusal of a value the
// option does not take, else empty.
std::string store(CliOptions& o, const OptionEntry& entry, const std::string& value) {
    o.given.push_back(entry.longName);
    if (!entry.takesValue()) {
        o.*entry.flag = true;
        return {};
    }
    if (!entry.values.empty() && !listed(value, entry.values)) {
        return std::string(entry.longName) + " takes " + spoken(entry.values, "or");
    }
    // An empty file, database, time, name, unit or port ("--record ''", a script's unset
    // variable) names nothing: taken as none, the record would be lost, a filter dropped or a
    // board written unnamed without a word. Only the pin's text may be empty (its default).
    if (value.empty() && entry.argument != "TEXT") {
        return std::string(entry.longName) + " needs " + std::string(entry.argument) +
               ", not an empty value";
    }
    if (entry.value == nullptr) {
        o.ports.push_back(value);
    } else {
        o.*entry.value = value;
    }
    return {};
}

}  // namespace

std::string OptionEntry::argumentName() const {
    if (values.empty()) return std::string(argument);
    std::string name(values);
    std::replace(name.begin(), name.end(), ' ', '|');
    return name;
}

std::span<const OptionEntry> optionTable() {
    return kOptions;
}

bool listed(std::string_view word, std::string_view words) {
    for (const auto listedWord : std::views::split(words, ' ')) {
        if (std::string_view(listedWord.begin(), listedWord.end()) == word) return true;
    }
    return false;
}

std::string spoken(std::string_view words, std::string_view last) {
    std::string text;
    auto blanksLeft = std::ranges::count(words, ' ');
    for (const char c : words) {
        if (c != ' ') {
            text += c;
        } else {
            text += --blanksLeft == 0 ? " " + std::string(last) + " " : std::string(", ");
        }
    }
    return text;
}

// How many letters must be added, removed, changed or swapped with a neighbour to turn `a` into
// `b` (optimal string alignment distance).
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t changed = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + changed});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// "unknown option --prot; did you mean --port?": the one known long option nearest to `name`,
// when a slip of a letter or two makes the difference.
std::string unknownLongOption(const std::string& name) {
    constexpr size_t kFarthest = 2;
    const OptionEntry* nearest = nullptr;
    size_t best = kFarthest + 1;
    bool tied = false;
    for (const OptionEntry& o : kOptions) {
        const size_t distance = editDistance(name, o.longName);
        if (distance < best) {
            best = distance;
            nearest = &o;
            tied = false;
        } else if (distance == best) {
            tied = true;
        }
    }
    std::string error = "unknown option " + name;
    if (nearest != nullptr && !tied)
        error += "; did you mean " + std::string(nearest->longName) + "?";
    return error;
}

const OptionEntry* findOption(std::string_view longName) {
    const OptionEntry* o = std::ranges::find(kOptions, longName, &OptionEntry::longName);
    return o != std::end(kOptions) ? o : nullptr;
}

ParseResult parseCommandLine(const std::vector<std::string>& argv) {
    CliOptions o;
    bool optionsEnded = false;
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        // Stores `entry` (named `name` as given) with the value `attached` to it in the same
        // argument, else with the next argument when it takes one; empty, or why not.
        const auto take = [&](const OptionEntry& entry, const std::string& name,
                              const std::optional<std::string>& attached) -> std::string {
            if (!entry.takesValue()) return store(o, entry, {});
            if (!attached && i + 1 >= argv.size()) return "option " + name + " needs a value";
            return store(o, entry, attached ? *attached : argv[++i]);
        };
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !isOption(arg)) {
            if (o.command.empty()) {
                o.command = arg;
            } else {
                o.args.push_back(arg);
            }
            continue;
        }
        if (arg.starts_with("--")) {
            // --name=value: only the long forms take their value in the same argument.
            const size_t eq = arg.find('=');
            const std::string name = arg.substr(0, eq);
            const OptionEntry* entry = findOption(name);
            if (entry == nullptr) return {{}, unknownLongOption(name)};
            if (!entry->takesValue() && eq != std::string::npos)
                return {{}, "option " + name + " takes no value"};
            const std::optional<std::string> attached =
                eq != std::string::npos ? std::optional(arg.substr(eq + 1)) : std::nullopt;
            if (std::string refusal = take(*entry, name, attached); !refusal.empty())
                return {{}, std::move(refusal)};
            continue;
        }
        // A bundle of short options. "=" belongs to the long forms only: -p=COM2 and -y=1 are
        // refused whole rather than read as the port "=COM2" or as -y and an unknown "-=".
        for (size_t k = 1; k < arg.size(); ++k) {
            const OptionEntry* entry = findShort(arg[k]);
            const std::string rest = arg.substr(k + 1);
            if (arg[k] == '=' ||
                (entry != nullptr && entry->takesValue() && rest.starts_with('='))) {
                return {{}, "unknown option " + arg};
            }
            const std::string name = std::string("-") + arg[k];
            // -x.mot is most likely a file that needs "--" before it: name it whole.
            if (entry == nullptr)
                return {{}, "unknown option " + (k == 1 ? arg : name + " in " + arg)};
            const std::optional<std::string> attached =
                rest.empty() ? std::nullopt : std::optional(rest);
            if (std::string refusal = take(*entry, name, attached); !refusal.empty())
                return {{}, std::move(refusal)};
            if (entry->takesValue()) break;
        }
    }
    if (o.verbose && o.quiet) return {{}, "--verbose and --quiet cannot be used together"};
    return {o, {}};
}

}  // namespace quorvel::cli

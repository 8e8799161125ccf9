#include "cli_options.h"

#include <optional>
#include <string_view>

namespace quorvel::cli {
namespace {

constexpr OptionEntry kOptions[] = {
    {"--port", 'p', kPort, nullptr, nullptr, "", "", ""},
    {"--loader", '\0', kLoader, nullptr, &CliOptions::loader, "1.05 1.06",
     "--loader takes 1.05 or 1.06", ""},
    {"--speed", '\0', kSpeed, nullptr, &CliOptions::speed, "9600 38400 4800",
     "--speed takes 9600, 38400 or 4800", ""},
    {"--pin", '\0', kPin, nullptr, &CliOptions::pin, "", "", ""},
    {"--mode", '\0', kMode, nullptr, &CliOptions::mode, "low high input read",
     "--mode takes low, high, input or read", ""},
    {"--yes", 'y', kYes, &CliOptions::yes, nullptr, "", "", ""},
    {"--dry-run", '\0', kDryRun, &CliOptions::dryRun, nullptr, "", "",
     "--dry-run works only with write"},
    {"--strict", '\0', kStrict, &CliOptions::strict, nullptr, "", "", ""},
    {"--json", '\0', kJson, &CliOptions::json, nullptr, "", "", ""},
    {"--log", '\0', kLog, nullptr, &CliOptions::logFile, "", "", ""},
    {"--station", '\0', kStation, &CliOptions::station, nullptr, "", "",
     "--station works only with write, and not with --dry-run"},
    {"--record", '\0', kRecord, nullptr, &CliOptions::record, "", "",
     "--record works only with write"},
    {"--unit", '\0', kUnit, nullptr, &CliOptions::unit, "", "", "--unit works only with write"},
    {"--scan", '\0', kScan, &CliOptions::scan, nullptr, "", "",
     "--scan works only with write --station and one --port"},
    {"--check", '\0', kCheck, &CliOptions::check, nullptr, "", "",
     "--check works only with records"},
    {"--verbose", 'v', kVerboseQuiet, &CliOptions::verbose, nullptr, "", "", ""},
    {"--quiet", 'q', kVerboseQuiet, &CliOptions::quiet, nullptr, "", "", ""},
    {"--help", 'h', 0, &CliOptions::help, nullptr, "", "", ""},
    {"--version", 'V', 0, &CliOptions::version, nullptr, "", "", ""},
};

const OptionEntry* findShort(char name) {
    for (const OptionEntry& o : kOptions) {
        if (o.shortName != '\0' && o.shortName == name) return &o;
    }
    return nullptr;
}

bool oneOf(std::string_view value, std::string_view allowed) {
    while (!allowed.empty()) {
        const size_t blank = allowed.find(' ');
        if (value == allowed.substr(0, blank)) return true;
        if (blank == std::string_view::npos) break;
        allowed.remove_prefix(blank + 1);
    }
    return false;
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
    if (!entry.values.empty() && !oneOf(value, entry.values))
        return std::string(entry.valueRefusal);
    if (entry.value == nullptr) {
        o.ports.push_back(value);
    } else {
        o.*entry.value = value;
    }
    return {};
}

}  // namespace

std::span<const OptionEntry> optionSpecs() {
    return kOptions;
}

const OptionEntry* findOption(std::string_view longName) {
    for (const OptionEntry& o : kOptions) {
        if (o.longName == longName) return &o;
    }
    return nullptr;
}

ParseResult parseCommandLine(const std::vector<std::string>& argv) {
    ParseResult result;
    CliOptions o;
    bool optionsEnded = false;
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
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
            if (entry == nullptr) {
                result.error = "unknown option " + name;
                return result;
            }
            if (!entry->takesValue() && eq != std::string::npos) {
                result.error = "option " + name + " takes no value";
                return result;
            }
            if (entry->takesValue() && eq == std::string::npos && i + 1 >= argv.size()) {
                result.error = "option " + name + " needs a value";
                return result;
            }
            const std::string value = !entry->takesValue()      ? std::string()
                                      : eq != std::string::npos ? arg.substr(eq + 1)
                                                                : argv[++i];
            if (std::string refusal = store(o, *entry, value); !refusal.empty()) {
                result.error = std::move(refusal);
                return result;
            }
            continue;
        }
        // A bundle of short options. "=" belongs to the long forms only: -p=COM2 and -y=1 are
        // refused whole rather than read as the port "=COM2" or as -y and an unknown "-=".
        for (size_t k = 1; k < arg.size(); ++k) {
            const OptionEntry* entry = findShort(arg[k]);
            const std::string rest = arg.substr(k + 1);
            if (arg[k] == '=' ||
                (entry != nullptr && entry->takesValue() && rest.starts_with('='))) {
                result.error = "unknown option " + arg;
                return result;
            }
            const std::string name = std::string("-") + arg[k];
            if (entry == nullptr) {
                // -x.mot is most likely a file that needs "--" before it: name it whole.
                result.error = "unknown option " + (k == 1 ? arg : name + " in " + arg);
                return result;
            }
            if (entry->takesValue() && rest.empty() && i + 1 >= argv.size()) {
                result.error = "option " + name + " needs a value";
                return result;
            }
            const std::string value = !entry->takesValue() ? std::string()
                                      : rest.empty()       ? argv[++i]
                                                           : rest;
            if (std::string refusal = store(o, *entry, value); !refusal.empty()) {
                result.error = std::move(refusal);
                return result;
            }
            if (entry->takesValue()) break;
        }
    }
    if (o.verbose && o.quiet) {
        result.error = "--verbose and --quiet cannot be used together";
        return result;
    }
    result.options = o;
    return result;
}

}  // namespace quorvel::cli

#include "cli_options.h"

#include <optional>
#include <string_view>

namespace quorvel::cli {
namespace {

// An option that is only there or not.
struct Flag {
    std::string_view longName;
    std::string_view shortName;  // empty: none
    bool CliOptions::*field;
};

constexpr Flag kFlags[] = {
    {"--help", "-h", &CliOptions::help},     {"--version", "-V", &CliOptions::version},
    {"--yes", "-y", &CliOptions::yes},       {"--json", "", &CliOptions::json},
    {"--strict", "", &CliOptions::strict},   {"--dry-run", "", &CliOptions::dryRun},
    {"--station", "", &CliOptions::station}, {"--verbose", "-v", &CliOptions::verbose},
    {"--quiet", "-q", &CliOptions::quiet},
};

// An option that takes a value.
struct ValueOption {
    std::string_view longName;
    std::string_view shortName;
    std::string CliOptions::*field;  // null for --port, which collects every value
    std::string_view allowed;        // the values it takes, blank-separated; empty: any
    std::string_view refusal;        // the message for any other value
};

constexpr ValueOption kValueOptions[] = {
    {"--port", "-p", nullptr, "", ""},
    {"--loader", "", &CliOptions::loader, "1.05 1.06", "--loader takes 1.05 or 1.06"},
    {"--speed", "", &CliOptions::speed, "9600 38400 4800", "--speed takes 9600, 38400 or 4800"},
    {"--pin", "", &CliOptions::pin, "", ""},
    {"--mode", "", &CliOptions::mode, "low high input read",
     "--mode takes low, high, input or read"},
    {"--log", "", &CliOptions::logFile, "", ""},
    {"--record", "", &CliOptions::record, "", ""},
};

bool named(std::string_view name, std::string_view longName, std::string_view shortName) {
    return name == longName || (!shortName.empty() && name == shortName);
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

}  // namespace

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
        // --name=value: only the long forms take their value in the same argument.
        std::string name = arg;
        std::optional<std::string> attached;
        if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            attached = arg.substr(eq + 1);
        }

        bool known = false;
        for (const Flag& f : kFlags) {
            if (!named(name, f.longName, f.shortName)) continue;
            if (attached) {
                result.error = "option " + name + " takes no value";
                return result;
            }
            o.*f.field = true;
            known = true;
        }
        for (const ValueOption& v : kValueOptions) {
            if (!named(name, v.longName, v.shortName)) continue;
            if (!attached && i + 1 >= argv.size()) {
                result.error = "option " + name + " needs a value";
                return result;
            }
            const std::string value = attached ? *attached : argv[++i];
            if (!v.allowed.empty() && !oneOf(value, v.allowed)) {
                result.error = std::string(v.refusal);
                return result;
            }
            if (v.field == nullptr) {
                o.ports.push_back(value);
            } else {
                o.*v.field = value;
            }
            known = true;
        }
        if (!known) {
            result.error = "unknown option " + name;
            return result;
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

#include "cli_options.h"

#include <array>
#include <string_view>

namespace quorvel::cli {
namespace {

bool oneOf(const std::string& value, std::initializer_list<std::string_view> allowed) {
    for (std::string_view a : allowed) {
        if (value == a) return true;
    }
    return false;
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& argv) {
    ParseResult result;
    CliOptions o;
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        auto value = [&](std::string& into) -> bool {
            if (i + 1 >= argv.size()) {
                result.error = "option " + a + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--yes" || a == "-y") {
            o.yes = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--strict") {
            o.strict = true;
        } else if (a == "--port") {
            std::string p;
            if (!value(p)) return result;
            o.ports.push_back(p);
        } else if (a == "--loader") {
            if (!value(o.loader)) return result;
            if (!oneOf(o.loader, {"1.05", "1.06"})) {
                result.error = "--loader takes 1.05 or 1.06";
                return result;
            }
        } else if (a == "--speed") {
            if (!value(o.speed)) return result;
            if (!oneOf(o.speed, {"9600", "38400", "4800"})) {
                result.error = "--speed takes 9600, 38400 or 4800";
                return result;
            }
        } else if (a == "--pin") {
            if (!value(o.pin)) return result;
        } else if (a == "--mode") {
            if (!value(o.mode)) return result;
            if (!oneOf(o.mode, {"low", "high", "input", "read"})) {
                result.error = "--mode takes low, high, input or read";
                return result;
            }
        } else if (a == "--log") {
            if (!value(o.logFile)) return result;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            result.error = "unknown option " + a;
            return result;
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.args.push_back(a);
        }
    }
    result.options = o;
    return result;
}

}  // namespace quorvel::cli

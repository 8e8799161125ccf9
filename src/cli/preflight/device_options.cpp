#include "device_options.h"

#include <algorithm>
#include <cctype>

#include "command_table.h"
#include "port_description.h"
#include "port_mapping.h"

namespace quorvel::cli {
namespace {

constexpr int kHighestComNumber = 255;
// The loader answers a pin command with "QZ~P" and the pin in 8 bytes, then its status at the
// fixed position 8: a pin of more than 4 bytes would push the status out of place.
constexpr size_t kLongestPin = 4;

// Why the pin text cannot go to the loader, or empty when it can. A control character (a line
// end above all) would become part of the device's command stream.
std::string pinProblem(const std::string& pin) {
    for (char c : pin) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "--pin must not hold control characters (such as a line end or a tab)";
        }
    }
    if (pin.size() > kLongestPin) {
        return "--pin takes at most 4 characters (bytes): the loader echoes no more";
    }
    return {};
}

// Two ports that reach one device would run two rewrites over one line at once.
std::string sameDeviceProblem(const std::vector<DevicePort>& all) {
    std::vector<std::string> devices;
    for (const DevicePort& p : all) {
        // A number that maps to no device keeps its name: it cannot be opened anyway.
        const std::string device = reachedDevice(p.settings);
        devices.push_back(device.empty() ? p.name : device);
    }
    for (size_t i = 0; i < all.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (devices[i] == devices[j]) {
                return "--port " + all[j].name + " and --port " + all[i].name +
                       " reach the same device (" + devices[i] + ")";
            }
        }
    }
    return {};
}

// "COM" in any case, then one digit or more.
bool isComNumber(const std::string& value) {
    const auto upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return value.size() > 3 && upper(value[0]) == 'C' && upper(value[1]) == 'O' &&
           upper(value[2]) == 'M' && std::all_of(value.begin() + 3, value.end(), digit);
}

}  // namespace

std::vector<DevicePort> devicePortsFor(const CliOptions& options, const Command& command,
                                       std::string& error) {
    if (options.ports.size() > 1 && command.work.writes != FlashWrite::Rewrite) {
        error = options.command + " takes one --port (only write rewrites several devices)";
        return {};
    }
    if (std::string problem = pinProblem(options.pin); !problem.empty()) {
        error = problem;
        return {};
    }
    ExchangeSettings common;
    common.portNumber = 1;
    common.loader = options.loader == "1.05" ? LoaderGeneration::V105 : LoaderGeneration::V106;
    common.strictAnswers = options.strict;
    common.speed = options.speed == "38400"  ? SpeedOption::Bps38400
                   : options.speed == "4800" ? SpeedOption::Bps4800
                                             : SpeedOption::Bps9600;
    common.pinText = options.pin;
    common.portMode = options.mode == "low"     ? PortMode::OutputLow
                      : options.mode == "high"  ? PortMode::OutputHigh
                      : options.mode == "input" ? PortMode::Input
                                                : PortMode::Read;
    if (options.ports.empty()) return {{common, targetName(common), describePort(common)}};

    std::vector<DevicePort> all;
    for (const std::string& port : options.ports) {
        ExchangeSettings s = common;
        if (isComNumber(port)) {
            const std::string digits = port.substr(3);
            const int number = digits.size() > 3 ? kHighestComNumber + 1 : std::stoi(digits);
            if (number > kHighestComNumber) {
                error = "--port takes COM0 to COM255 or a device path";
                return {};
            }
            s.portNumber = static_cast<int16_t>(number);
        } else {
            s.devicePath = port;
        }
        const std::string name = targetName(s);
        for (const DevicePort& earlier : all) {
            if (earlier.name == name) {
                error = "--port " + name + " is given twice";
                return {};
            }
        }
        all.push_back({s, name, {}});
    }
    if (all.size() > 1) {
        error = sameDeviceProblem(all);
        if (!error.empty()) return {};
    }
    for (DevicePort& p : all) p.description = describePort(p.settings);
    return all;
}

}  // namespace quorvel::cli

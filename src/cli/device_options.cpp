#include "device_options.h"

#include <cctype>

namespace quorvel::cli {
namespace {

constexpr int kHighestComNumber = 255;

bool startsWithCom(const std::string& value) {
    return value.size() > 3 && std::toupper(static_cast<unsigned char>(value[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(value[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(value[2])) == 'M';
}

bool allDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

std::vector<ExchangeSettings> exchangeSettingsForEach(const CliOptions& options,
                                                      std::string& error) {
    if (options.ports.size() > 1 && options.command != "write") {
        error = options.command + " takes one --port (only write rewrites several devices)";
        return {};
    }
    ExchangeSettings common;
    common.portNumber = 1;
    common.loader = options.loader == "1.05" ? LoaderGeneration::V105 : LoaderGeneration::V106;
    common.speed = options.speed == "38400"  ? SpeedOption::Bps38400
                   : options.speed == "4800" ? SpeedOption::Bps4800
                                             : SpeedOption::Bps9600;
    common.pinText = options.pin;
    common.portMode = options.mode == "low"     ? PortMode::OutputLow
                      : options.mode == "high"  ? PortMode::OutputHigh
                      : options.mode == "input" ? PortMode::Input
                                                : PortMode::Read;
    if (options.ports.empty()) return {common};

    std::vector<ExchangeSettings> all;
    for (const std::string& port : options.ports) {
        ExchangeSettings s = common;
        if (startsWithCom(port) && allDigits(port.substr(3))) {
            const std::string digits = port.substr(3);
            const int number = digits.size() > 3 ? kHighestComNumber + 1 : std::stoi(digits);
            if (number > kHighestComNumber) {
                error = "--port takes COM0 to COM255 or a device path";
                return {};
            }
            s.portNumber = static_cast<int16_t>(number);
        } else if (port.empty()) {
            error = "--port needs a COM number or a device path";
            return {};
        } else {
            s.devicePath = port;
        }
        for (const ExchangeSettings& earlier : all) {
            if (portName(earlier) == portName(s)) {
                error = "--port " + portName(s) + " is given twice";
                return {};
            }
        }
        all.push_back(s);
    }
    return all;
}

std::string portName(const ExchangeSettings& settings) {
    if (!settings.devicePath.empty()) return settings.devicePath;
    return "COM" + std::to_string(settings.portNumber);
}

}  // namespace quorvel::cli

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

std::optional<ExchangeSettings> exchangeSettingsFrom(const CliOptions& options,
                                                     std::string& error) {
    ExchangeSettings s;
    s.portNumber = 1;
    if (options.ports.size() > 1) {
        error = "device commands take one --port";
        return {};
    }
    if (!options.ports.empty()) {
        const std::string& port = options.ports.front();
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
    }
    s.loader = options.loader == "1.05" ? LoaderGeneration::V105 : LoaderGeneration::V106;
    s.speed = options.speed == "38400"  ? SpeedOption::Bps38400
              : options.speed == "4800" ? SpeedOption::Bps4800
                                        : SpeedOption::Bps9600;
    s.pinText = options.pin;
    s.portMode = options.mode == "low"     ? PortMode::OutputLow
                 : options.mode == "high"  ? PortMode::OutputHigh
                 : options.mode == "input" ? PortMode::Input
                                           : PortMode::Read;
    return s;
}

std::string portName(const ExchangeSettings& settings) {
    if (!settings.devicePath.empty()) return settings.devicePath;
    return "COM" + std::to_string(settings.portNumber);
}

}  // namespace quorvel::cli

#include "device_command_table.h"

#include <array>

namespace quorvel::cli {
namespace {

constexpr std::array<DeviceCommandInfo, 10> kCommands = {{
    {"write", true},
    {"connect", false},
    {"erase", false},
    {"program", true},
    {"disconnect", false},
    {"pin", false},
    {"text-erase", false},
    {"text-end", false},
    {"row-write", true},
    {"ports", false},  // lists the serial ports; needs the serial-port library, so it is here
}};

}  // namespace

const DeviceCommandInfo* findDeviceCommand(const std::string& name) {
    for (const DeviceCommandInfo& c : kCommands) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

}  // namespace quorvel::cli

#pragma once
// The names of the device commands and whether each takes an image FILE.

#include <string>
#include <string_view>

namespace quorvel::cli {

struct DeviceCommandInfo {
    std::string_view name;
    bool takesFile;
};

// The entry for `name`, or nullptr when it is not a device command.
const DeviceCommandInfo* findDeviceCommand(const std::string& name);

}  // namespace quorvel::cli

#pragma once
// What the device commands take from the command line: the port, the loader generation, the
// speed option, the pin text and the port mode, as the exchanges want them.

#include <string>
#include <vector>

#include "command_table.h"
#include "exchange_settings.h"

namespace quorvel::cli {

// A port of a device command, resolved once from its command line: its settings, its name in
// messages ("COM1" or the device path) and what stands behind it (describePort), described
// before anything is asked or sent.
struct DevicePort {
    ExchangeSettings settings;
    std::string name;
    std::string description;
};

// --port COMn (any case) selects COM number n, 0 to 255; any other value is a device path.
// Without --port the port is COM1. Returns every --port, in the order given; several only for
// a `command` that rewrites. Empty, with `error` set, for a value the tool refuses
// (a --pin with a control character or more than 4 characters), a port given twice, or two
// ports that reach the same device (a COM number mapped to a path given too, or a link to it).
std::vector<DevicePort> devicePortsFor(const CliOptions& options, const Command& command,
                                       std::string& error);

}  // namespace quorvel::cli

#pragma once
// What the device commands take from the command line: the port, the loader generation, the
// speed option, the pin text and the port mode, as the exchanges want them.

#include <string>
#include <vector>

#include "command_table.h"
#include "exchange_settings.h"

namespace quorvel::cli {

// --port COMn (any case) selects COM number n, 0 to 255; any other value is a device path.
// Without --port the port is COM1. Returns the settings for every --port, in the order given;
// several only for a `command` that rewrites. Empty, with `error` set, for a value the tool refuses
// (a --pin with a control character or more than 4 characters), a port given twice, or two
// ports that reach the same device (a COM number mapped to a path given too, or a link to it).
std::vector<ExchangeSettings> exchangeSettingsForEach(const CliOptions& options,
                                                      const Command& command, std::string& error);

}  // namespace quorvel::cli

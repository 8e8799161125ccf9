#pragma once
// quorvel-flash ports: the serial ports the system knows, each with the COM number that
// --port COMn and the window's port list give it, what the system tells about it (location,
// description, manufacturer, USB vendor and product id, serial number), and the QUORVEL_COM<n>
// overrides in effect.

#include "command_result.h"

namespace quorvel::cli {

CommandResult runPorts();

}  // namespace quorvel::cli

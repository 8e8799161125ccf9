#pragma once
// The tooltip of the COM-port list: which serial device the selected COM number stands for.

#include <QString>
#include <cstdint>

namespace quorvel {

// "COM3: /dev/ttyUSB0", "COM3: no serial device", or "No COM port selected" for number 0.
QString ComPortToolTip(int16_t portNumber);

}  // namespace quorvel

#pragma once
// Why a serial device could not be opened, in words an operator can act on.

#include <QSerialPort>
#include <string>

namespace quorvel {

// `name` is how the port is called in messages ("COM1 (/dev/ttyUSB0)"), `device` the device
// path that was opened.
std::string describeOpenFailure(QSerialPort::SerialPortError error, const std::string& name,
                                const std::string& device, const std::string& systemText);

}  // namespace quorvel

#pragma once
// The port a command is about to use, named the way a technician can check it: the name
// given, the device it maps to and what the system knows of the adapter behind it. The
// command line prints it before a write; the window shows it beside each COM number of its
// list.

#include <QList>
#include <QSerialPortInfo>
#include <cstdint>
#include <string>

#include "transport.h"

namespace quorvel {

// "COM1 = /dev/ttyUSB0, FT232R USB UART, serial A12345"; "/dev/ttyUSB0, FT232R USB UART" for
// a device path; "COM7 = no device" for a number that maps to none, "... (no device there)"
// for a device path that does not exist. Description and serial
// number appear where the system reports them.
std::string describePort(const PortTarget& target);

// What stands behind COM `number` among `ports` (the system's list, taken once for a whole
// list of numbers): "/dev/ttyUSB0, FT232R USB UART, serial A12345", or "no device".
std::string describeComNumber(int16_t number, const QList<QSerialPortInfo>& ports);

// The device the port maps to ("/dev/ttyUSB0"), empty when it maps to none.
std::string resolvedDevice(const PortTarget& target);

// The device the port reaches with every link followed, so that two names of one device give
// one: "/dev/ttyUSB0" for /dev/serial/by-id/usb-FTDI_..., "COM3" as it is. Empty when the port
// maps to none.
std::string reachedDevice(const PortTarget& target);

// Whether a device stands behind the port now: it maps to one, and on a system of device
// files that file exists (an adapter pulled out leaves its mapping behind).
bool deviceIsThere(const PortTarget& target);

// The serial number of the USB adapter behind the port, empty when the system knows none.
std::string usbSerialNumber(const PortTarget& target);

}  // namespace quorvel

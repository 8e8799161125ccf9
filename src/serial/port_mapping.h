#pragma once
// Which serial device a COM number stands for.
//
// On Windows, COM n is the device "COMn". Elsewhere the environment variable QUORVEL_COM<n>
// (for example QUORVEL_COM1=/dev/ttyUSB0) names the device for COM n; without it COM n is the
// n-th serial port that the system reports, counted from 1, in this order: USB adapters
// (ttyUSB, cu.usbserial...), then ACM modems (ttyACM, cu.usbmodem...), then every other port
// except the legacy ttyS ports, then the ttyS ports; within a group by name, with numbers
// compared as numbers (ttyUSB2 before ttyUSB10).

#include <QList>
#include <QSerialPortInfo>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport.h"

namespace quorvel {

// Orders port names (without "/dev/") the way COM numbers are counted.
std::vector<std::string> orderPortNames(std::vector<std::string> names);

// The device for a target: its device path, or the device that its COM number maps to.
// Empty when the number is 0 or maps to no device.
std::optional<std::string> deviceForTarget(const PortTarget& target);

// The device that COM `number` (1 and up) stands for, given the ports the system lists; the
// same answer deviceForTarget gives with the current list. Empty when it maps to none.
std::optional<std::string> deviceForNumber(int16_t number, const QList<QSerialPortInfo>& ports);

// How the target is called in messages: "COM3", or the device path.
std::string targetName(const PortTarget& target);

}  // namespace quorvel

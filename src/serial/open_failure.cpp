#include "open_failure.h"

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#endif

namespace quorvel {

#ifndef _WIN32
namespace {

// True when the device exists but this user may not read and write it.
bool accessDenied(const std::string& device) {
    return ::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}

std::string permissionHint() {
#ifdef __linux__
    return " (on Linux, add your user to the dialout group: sudo usermod -aG dialout $USER, "
           "then log in again)";
#else
    return "";
#endif
}

// Why `device` cannot be a serial port at all, or empty when it may be one: a file or a
// folder named by mistake, or a device that is not a terminal line (/dev/null).
std::string notASerialDevice(const std::string& device, const std::string& systemText) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(device, error);
    const char* what = nullptr;
    if (std::filesystem::is_directory(status)) {
        what = "a folder";
    } else if (std::filesystem::is_regular_file(status)) {
        what = "a regular file";
    } else if (std::filesystem::is_character_file(status) &&
               systemText.find("ioctl") != std::string::npos) {
        what = "a device that is not a serial line";
    }
    if (what == nullptr) return {};
    return std::string("not a serial device: ") + device + " is " + what +
           " (name the adapter's port, e.g. /dev/ttyUSB0 or a /dev/serial/by-id link)";
}

}  // namespace
#endif

// Windows reports a port that another program holds open as "access denied" (serial ports
// open exclusively), and it has no group that grants serial ports to a user: a denied open is
// almost always a busy port. The port numbers are the system's own, as Device Manager shows
// them under "Ports (COM & LPT)".
std::string describeOpenFailure(QSerialPort::SerialPortError error, const std::string& name,
                                [[maybe_unused]] const std::string& device,
                                const std::string& systemText) {
    const std::string prefix = "cannot open " + name + ": ";
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
#ifdef _WIN32
            return prefix +
                   "the port does not exist (is the adapter plugged in? Device Manager lists the "
                   "COM number it got under \"Ports (COM & LPT)\")";
#else
            return prefix + "the device does not exist (is the adapter plugged in?)";
#endif
        case QSerialPort::PermissionError:
#ifdef _WIN32
            return prefix +
                   "access denied: the port is busy (another program, such as a terminal or a "
                   "second quorvel-flash, has it open; close it and try again)";
#else
            if (accessDenied(device)) return prefix + "permission denied" + permissionHint();
            return prefix + "the port is busy (another program has it open)";
#endif
        case QSerialPort::OpenError:
            return prefix + "the port is already open";
        default:
            break;
    }
#ifndef _WIN32
    if (const std::string why = notASerialDevice(device, systemText); !why.empty()) {
        return prefix + why;
    }
#endif
    return prefix + (systemText.empty() ? "unknown error" : systemText);
}

}  // namespace quorvel

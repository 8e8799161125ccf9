#include "open_failure.h"

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#endif

namespace quorvel {
namespace {

// True when the device exists but this user may not read and write it.
bool accessDenied([[maybe_unused]] const std::string& device) {
#ifdef _WIN32
    return false;
#else
    return ::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#endif
}

std::string permissionHint() {
#ifdef __linux__
    return " (on Linux, add your user to the dialout group: sudo usermod -aG dialout $USER, "
           "then log in again)";
#else
    return "";
#endif
}

}  // namespace

std::string describeOpenFailure(QSerialPort::SerialPortError error, const std::string& name,
                                const std::string& device, const std::string& systemText) {
    const std::string prefix = "cannot open " + name + ": ";
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return prefix + "the device does not exist (is the adapter plugged in?)";
        case QSerialPort::PermissionError:
            if (accessDenied(device)) return prefix + "permission denied" + permissionHint();
            return prefix + "the port is busy (another program has it open)";
        case QSerialPort::OpenError:
            return prefix + "the port is already open";
        default:
            break;
    }
    return prefix + (systemText.empty() ? "unknown error" : systemText);
}

}  // namespace quorvel

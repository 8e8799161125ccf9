#include "port_description.h"

#include <filesystem>
#include <optional>

#include "port_mapping.h"

namespace quorvel {
namespace {

// The system's entry for `device`, found by its path or its name (COM3); none when it lists none.
std::optional<QSerialPortInfo> portInfo(const std::string& device,
                                        const QList<QSerialPortInfo>& ports) {
    for (const QSerialPortInfo& info : ports) {
        if (info.systemLocation().toStdString() == device ||
            info.portName().toStdString() == device) {
            return info;
        }
    }
    return {};
}

// The device with what the system reports of its adapter: description, then serial number.
std::string deviceWithAdapter(const std::string& device, const QList<QSerialPortInfo>& ports) {
    std::string text = device;
    if (const std::optional<QSerialPortInfo> info = portInfo(device, ports)) {
        if (!info->description().isEmpty()) text += ", " + info->description().toStdString();
        if (!info->serialNumber().isEmpty())
            text += ", serial " + info->serialNumber().toStdString();
    }
    return text;
}

// Whether the device file of `device` is there now; a Windows port is found in the system's
// list (COM3), which names only ports that exist.
bool nodeExists(const std::string& device) {
    if (device.front() != '/') return true;
    std::error_code error;
    return std::filesystem::exists(device, error);
}

}  // namespace

std::string resolvedDevice(const PortTarget& target) {
    return deviceForTarget(target).value_or("");
}

std::string reachedDevice(const PortTarget& target) {
    const std::string device = resolvedDevice(target);
#ifdef _WIN32
    return device;
#else
    if (device.empty()) return device;
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(device, error);
    return error ? device : canonical.string();
#endif
}

bool deviceIsThere(const PortTarget& target) {
    const std::string device = resolvedDevice(target);
    return !device.empty() && nodeExists(device);
}

std::string usbSerialNumber(const PortTarget& target) {
    const std::string device = resolvedDevice(target);
    if (device.empty()) return {};
    const std::optional<QSerialPortInfo> info = portInfo(device, QSerialPortInfo::availablePorts());
    return info ? info->serialNumber().toStdString() : std::string();
}

std::string describePort(const PortTarget& target) {
    const std::string device = resolvedDevice(target);
    std::string text = target.devicePath.empty() ? targetName(target) + " = " : "";
    if (device.empty()) return text + "no device";
    // A port that is its own COM number (Windows) is named once: "COM3, USB Serial Port".
    if (device == targetName(target)) text.clear();
    text += deviceWithAdapter(device, QSerialPortInfo::availablePorts());
    // A mapping outlives the adapter it was made for.
    return deviceIsThere(target) ? text : text + " (no device there)";
}

std::string describeComNumber(int16_t number, const QList<QSerialPortInfo>& ports) {
    const std::optional<std::string> device = deviceForNumber(number, ports);
    // A mapping that outlived its adapter (unplugged) names no device any more.
    if (!device || device->empty() || !nodeExists(*device)) return "no device";
    return deviceWithAdapter(*device, ports);
}

}  // namespace quorvel

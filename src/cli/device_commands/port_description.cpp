#include "port_description.h"

#include <QSerialPortInfo>
#include <optional>

#include "device_options.h"
#include "port_mapping.h"

namespace quorvel::cli {

std::string resolvedDevice(const ExchangeSettings& settings) {
    return deviceForTarget(GetCOM(settings)).value_or("");
}

std::string usbSerialNumber(const ExchangeSettings& settings) {
    const std::string device = resolvedDevice(settings);
    if (device.empty()) return {};
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.systemLocation().toStdString() == device ||
            info.portName().toStdString() == device) {
            return info.serialNumber().toStdString();
        }
    }
    return {};
}

std::string describePort(const ExchangeSettings& settings) {
    const std::string device = resolvedDevice(settings);
    std::string text = settings.devicePath.empty() ? portName(settings) + " = " : "";
    if (device.empty()) return text + "no device";
    // A port that is its own COM number (Windows) is named once: "COM3, USB Serial Port".
    if (device == portName(settings)) text.clear();
    text += device;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.systemLocation().toStdString() != device &&
            info.portName().toStdString() != device) {
            continue;
        }
        if (!info.description().isEmpty()) text += ", " + info.description().toStdString();
        if (!info.serialNumber().isEmpty()) {
            text += ", serial " + info.serialNumber().toStdString();
        }
        break;
    }
    return text;
}

}  // namespace quorvel::cli

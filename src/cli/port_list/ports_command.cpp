#include <QSerialPortInfo>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "cli_options.h"
#include "command_actions.h"
#include "json_run.h"
#include "port_mapping.h"

namespace quorvel::cli {
namespace {

constexpr int kHighestComNumber = 255;
constexpr int kWindowComNumbers = 16;  // the window's list offers COM1 to COM16

std::string comList(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers) text += (text.empty() ? "COM" : ", COM") + std::to_string(n);
    return text;
}

// printf into a line of the text.
template <typename... Args>
void add(std::vector<std::string>& text, const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    text.emplace_back(line);
}

void printDetail(std::vector<std::string>& out, const char* label, const QString& value) {
    if (!value.isEmpty()) add(out, "      %-16s%s", label, value.toUtf8().constData());
}

// The COM numbers that reach each device, by device path.
std::map<std::string, std::vector<int>> numbersByDevice(const QList<QSerialPortInfo>& ports) {
    std::map<std::string, std::vector<int>> numbers;
    for (int n = 1; n <= kHighestComNumber; ++n) {
        if (auto device = deviceForNumber(static_cast<int16_t>(n), ports)) {
            numbers[*device].push_back(n);
        }
    }
    return numbers;
}

// Where the port is, as an operator names it: Windows reports its ports in the device
// namespace (\\.\COM3), which names the same port as COM3, the name --port takes and Device
// Manager shows.
std::string shownLocation(const QSerialPortInfo& info) {
    const QString location = info.systemLocation();
    if (location == QStringLiteral("\\\\.\\") + info.portName())
        return info.portName().toStdString();
    return location.toStdString();
}

// The COM numbers that reach the port: by its device path, else by its name (Windows: COM3).
std::vector<int> numbersOf(const QSerialPortInfo& info,
                           const std::map<std::string, std::vector<int>>& numbers) {
    for (const QString& key : {info.systemLocation(), info.portName()}) {
        if (auto found = numbers.find(key.toStdString()); found != numbers.end()) {
            return found->second;
        }
    }
    return {};
}

// A USB id as the system shows it: "0403"; empty when the port has none.
QString usbId(bool has, quint16 id) {
    return has ? QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper() : QString();
}

// The listing as the JSON report's result: one object per port.
QJsonArray portsJson(const QList<QSerialPortInfo>& ports,
                     const std::map<std::string, std::vector<int>>& numbers) {
    QJsonArray list;
    for (const QSerialPortInfo& info : ports) {
        QJsonArray com;
        for (int n : numbersOf(info, numbers)) com.append(n);
        list.append(
            QJsonObject{{"device", QString::fromStdString(shownLocation(info))},
                        {"com", com},
                        {"description", jsonTextOrNull(info.description().toStdString())},
                        {"manufacturer", jsonTextOrNull(info.manufacturer().toStdString())},
                        {"serial_number", jsonTextOrNull(info.serialNumber().toStdString())}});
    }
    return list;
}

}  // namespace

CommandResult runPorts(const CliOptions&, std::FILE*, std::FILE*, std::FILE*) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const std::map<std::string, std::vector<int>> numbers = numbersByDevice(ports);
    CommandResult r;
    r.result = portsJson(ports, numbers);
    std::vector<std::string>& out = r.text;

    std::vector<std::string> ordered;
    for (const QSerialPortInfo& info : ports) ordered.push_back(info.portName().toStdString());
    ordered = orderPortNames(ordered);

    if (ports.isEmpty()) out.emplace_back("No serial ports found.");
    for (const std::string& name : ordered) {
        for (const QSerialPortInfo& info : ports) {
            if (info.portName().toStdString() != name) continue;
            const std::string location = shownLocation(info);
            const std::vector<int> reached = numbersOf(info, numbers);
            if (reached.empty()) {
                add(out,
                    "--    %s  (no COM number: its override names another device; use --port %s)",
                    location.c_str(), location.c_str());
            } else {
                // A port that is its own COM number (Windows) is named once.
                const std::string com = comList(reached);
                add(out, "%-4s%s%s%s", com.c_str(), com == location ? "" : "  ",
                    com == location ? "" : location.c_str(),
                    reached.front() > kWindowComNumbers ? "  (beyond the window's COM1 to COM16)"
                                                        : "");
            }
            printDetail(out, "description", info.description());
            printDetail(out, "manufacturer", info.manufacturer());
            printDetail(out, "USB vendor id",
                        usbId(info.hasVendorIdentifier(), info.vendorIdentifier()));
            printDetail(out, "USB product id",
                        usbId(info.hasProductIdentifier(), info.productIdentifier()));
            printDetail(out, "serial number", info.serialNumber());
        }
    }

#ifndef _WIN32
    std::vector<std::string> overrides;
    for (int n = 1; n <= kHighestComNumber; ++n) {
        const std::string variable = "QUORVEL_COM" + std::to_string(n);
        const char* value = std::getenv(variable.c_str());
        if (value == nullptr || *value == '\0') continue;
        const bool listed = std::any_of(ports.begin(), ports.end(), [&](const auto& info) {
            return info.systemLocation().toStdString() == value;
        });
        overrides.push_back("  COM" + std::to_string(n) + " = " + value + "  (" + variable +
                            (listed ? "" : "; not among the ports listed") + ")");
    }
    out.emplace_back(overrides.empty() ? "No QUORVEL_COM<n> overrides are set."
                                       : "Overrides in effect:");
    out.insert(out.end(), overrides.begin(), overrides.end());
#endif
    return r;
}

}  // namespace quorvel::cli

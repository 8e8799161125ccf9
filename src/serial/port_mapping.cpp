#include "port_mapping.h"

#include <QSerialPortInfo>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

namespace quorvel {
namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

int groupOf(const std::string& name) {
    auto startsWith = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (startsWith("ttyUSB") || startsWith("cu.usbserial") || startsWith("tty.usbserial")) return 0;
    if (startsWith("ttyACM") || startsWith("cu.usbmodem") || startsWith("tty.usbmodem")) return 1;
    if (startsWith("ttyS") && name.size() > 4 && isDigit(name[4])) return 3;
    return 2;
}

// Name order with digit runs compared by value, so that ttyUSB2 comes before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (!isDigit(a[i]) || !isDigit(b[j])) {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
            continue;
        }
        // The runs' values without leading zeros: the shorter is the smaller.
        const auto value = [](const std::string& s, size_t& at) {
            while (at < s.size() && s[at] == '0') ++at;
            const size_t from = at;
            while (at < s.size() && isDigit(s[at])) ++at;
            return std::string_view(s).substr(from, at - from);
        };
        const std::string_view va = value(a, i);
        const std::string_view vb = value(b, j);
        if (va.size() != vb.size()) return va.size() < vb.size();
        if (va != vb) return va < vb;
    }
    return a.size() - i < b.size() - j;
}

#ifndef _WIN32
// The device that QUORVEL_COM<number> names, if set and not empty.
std::optional<std::string> overrideFor(int16_t number) {
    const std::string variable = "QUORVEL_COM" + std::to_string(number);
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') {
        return std::string(value);
    }
    return {};
}
#endif

}  // namespace

std::vector<std::string> orderPortNames(std::vector<std::string> names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int ga = groupOf(a);
        const int gb = groupOf(b);
        if (ga != gb) return ga < gb;
        return naturalLess(a, b);
    });
    return names;
}

std::optional<std::string> deviceForTarget(const PortTarget& target) {
    if (!target.devicePath.empty()) return target.devicePath;
#ifdef _WIN32
    return deviceForNumber(target.portNumber, {});
#else
    // An override needs no look at the system's ports.
    if (target.portNumber <= 0) return {};
    if (std::optional<std::string> device = overrideFor(target.portNumber)) return device;
    return deviceForNumber(target.portNumber, QSerialPortInfo::availablePorts());
#endif
}

std::optional<std::string> deviceForNumber(int16_t number,
                                           [[maybe_unused]] const QList<QSerialPortInfo>& ports) {
    if (number <= 0) return {};
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    if (std::optional<std::string> device = overrideFor(number)) return device;
    std::vector<std::string> names;
    for (const QSerialPortInfo& info : ports) names.push_back(info.portName().toStdString());
    const std::vector<std::string> ordered = orderPortNames(names);
    if (static_cast<size_t>(number) > ordered.size()) return {};
    const std::string& wanted = ordered[static_cast<size_t>(number) - 1];
    for (const QSerialPortInfo& info : ports) {
        if (info.portName().toStdString() == wanted) return info.systemLocation().toStdString();
    }
    return {};
#endif
}

std::string targetName(const PortTarget& target) {
    if (!target.devicePath.empty()) return target.devicePath;
    return "COM" + std::to_string(target.portNumber);
}

}  // namespace quorvel

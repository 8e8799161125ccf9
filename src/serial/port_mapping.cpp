#include "port_mapping.h"

#include <QSerialPortInfo>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace quorvel {
namespace {

int groupOf(const std::string& name) {
    auto startsWith = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (startsWith("ttyUSB") || startsWith("cu.usbserial") || startsWith("tty.usbserial")) return 0;
    if (startsWith("ttyACM") || startsWith("cu.usbmodem") || startsWith("tty.usbmodem")) return 1;
    if (startsWith("ttyS") && name.size() > 4 && std::isdigit(static_cast<unsigned char>(name[4])))
        return 3;
    return 2;
}

// Name order with digit runs compared by value, so that ttyUSB2 comes before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i;
            size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            const std::string na = a.substr(i, ei - i);
            const std::string nb = b.substr(j, ej - j);
            const size_t za = na.find_first_not_of('0');
            const size_t zb = nb.find_first_not_of('0');
            const std::string va = za == std::string::npos ? "" : na.substr(za);
            const std::string vb = zb == std::string::npos ? "" : nb.substr(zb);
            if (va.size() != vb.size()) return va.size() < vb.size();
            if (va != vb) return va < vb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
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
    if (target.portNumber <= 0) return {};
#ifdef _WIN32
    return "COM" + std::to_string(target.portNumber);
#else
    // An override needs no look at the system's ports.
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

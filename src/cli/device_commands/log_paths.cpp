#include "log_paths.h"

#include <QDateTime>
#include <algorithm>
#include <cctype>

namespace quorvel::cli {
namespace {

// FILE with "-TAG" before its extension (the last dot of its last path component, when that
// dot does not begin the name).
std::string withTag(const std::string& file, const std::string& tag) {
    const size_t slash = file.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart) return file + "-" + tag;
    return file.substr(0, dot) + "-" + tag + file.substr(dot);
}

// The port's name as it goes into a file name: the device path without "/dev/" (or "\\.\"),
// every character other than letters, digits, '.', '_' and '-' turned into '-'.
std::string portFileTag(const std::string& port) {
    std::string name = port;
    for (const char* prefix : {"/dev/", "\\\\.\\"}) {
        if (name.rfind(prefix, 0) == 0) {
            name = name.substr(std::string(prefix).size());
            break;
        }
    }
    std::string tag;
    for (char c : name) {
        const bool kept =
            std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-';
        tag += kept ? c : '-';
    }
    const size_t first = tag.find_first_not_of('-');
    return first == std::string::npos ? "port" : tag.substr(first);
}

}  // namespace

std::vector<std::string> logPathsForPorts(const std::string& file,
                                          const std::vector<std::string>& ports) {
    std::vector<std::string> tags;
    std::vector<std::string> paths;
    for (const std::string& port : ports) {
        const std::string base = portFileTag(port);
        std::string tag = base;
        for (int n = 2; std::find(tags.begin(), tags.end(), tag) != tags.end(); ++n) {
            tag = base + "-" + std::to_string(n);
        }
        tags.push_back(tag);
        paths.push_back(withTag(file, tag));
    }
    return paths;
}

std::string logPathForDevice(const std::string& file, const std::string& port, int number,
                             const std::string& unit) {
    const std::string stamp =
        QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss").toStdString();
    std::string tag = portFileTag(port) + "-" + stamp + "-" + std::to_string(number);
    if (!unit.empty()) tag += "-" + portFileTag(unit);
    return withTag(file, tag);
}

}  // namespace quorvel::cli

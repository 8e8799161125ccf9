#pragma once
// Which attempts a supervisor asks about beyond their start time: those of one unit, at one
// host, at some ports, with one image. The file reader keeps a record by matches(); the
// database is asked for the same columns, so that only the matching rows are fetched.

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "device_record.h"

namespace quorvel {

// The digits of an image's SHA-256 that summaries show, and the fewest a filter takes.
inline constexpr size_t kShownHashDigits = 12;

struct RecordFilter {
    std::string unit;                // the unit id; empty: any
    std::string host;                // the station's host; empty: any
    std::vector<std::string> ports;  // the port as the station named it, any of these; empty: any
    std::string image;  // the image's path as recorded, or its SHA-256 or the digits of it
                        // that summaries show, or more; empty: any

    bool matches(const Record& r) const {
        return (unit.empty() || r.unit == unit) && (host.empty() || r.host == host) &&
               (ports.empty() || std::find(ports.begin(), ports.end(), r.port) != ports.end()) &&
               (image.empty() || r.image == image ||
                (!shaPrefix().empty() && r.sha256.starts_with(shaPrefix())));
    }
    // "unit U-1001, host line3-pc, port COM1 or COM2, image app.mot"; empty when none is asked.
    std::string text() const {
        std::string anyPort;
        for (const std::string& port : ports) anyPort += (anyPort.empty() ? "" : " or ") + port;
        std::string shown;
        for (const auto& [name, value] : {std::pair{"unit ", &unit},
                                          {"host ", &host},
                                          {"port ", &anyPort},
                                          {"image ", &image}}) {
            if (!value->empty()) shown += (shown.empty() ? "" : ", ") + std::string(name) + *value;
        }
        return shown;
    }
    // `image` as the start of a SHA-256 in lower case, when it is one of kShownHashDigits
    // hexadecimal digits or more; else empty.
    std::string shaPrefix() const {
        if (image.size() < kShownHashDigits || image.size() > 64) return {};
        std::string digits;
        for (const char c : image) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return digits;
    }
};

}  // namespace quorvel

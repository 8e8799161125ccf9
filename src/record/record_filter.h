#pragma once
// Which attempts a supervisor asks about beyond their start time: those of one unit, at one
// host, at some ports, with one image. The file reader keeps a record by matches(); the
// database is asked for the same columns, so that only the matching rows are fetched.

#include <algorithm>
#include <string>
#include <vector>

#include "device_record.h"

namespace quorvel {

struct RecordFilter {
    std::string unit;                // the unit id; empty: any
    std::string host;                // the station's host; empty: any
    std::vector<std::string> ports;  // the port as the station named it, any of these; empty: any
    std::string image;               // the image's path as recorded, or its SHA-256; empty: any

    bool any() const { return !unit.empty() || !host.empty() || !ports.empty() || !image.empty(); }
    bool matches(const Record& r) const {
        return (unit.empty() || r.unit == unit) && (host.empty() || r.host == host) &&
               (ports.empty() || std::find(ports.begin(), ports.end(), r.port) != ports.end()) &&
               (image.empty() || r.image == image || r.sha256 == image);
    }
};

}  // namespace quorvel

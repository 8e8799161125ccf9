#pragma once
// Reads back the lines of a record file (device_record.h): the fields the records command sums
// up, from a line that must be one JSON object.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rewrite_outcome.h"

namespace quorvel::cli {

// The parts of a record that the records command sums up.
struct ReadRecord {
    // A started line: an attempt begun, whose final line (with the same attempt id) says how it
    // ended. It has no outcome.
    bool opening = false;
    // An attempt whose started line has no final line: the write was cut off, and what it left
    // on the device is unknown. Counted as interrupted.
    bool unfinished = false;
    std::string attempt;  // the attempt id; empty on lines of tools that wrote none
    std::string started;
    std::string ended;
    std::string host;  // the station's computer; empty when the line names none
    std::string port;
    std::string unit;  // the board's unit id; empty when the write named none
    std::string image;
    std::string sha256;
    std::string outcome;  // success, unconfirmed, failure, interrupted
    OutcomeSeverity severity = OutcomeSeverity::Success;  // the outcome's
    std::string failedStep;
    std::string cause;  // the failed step's kind of answer; empty in lines without it
    std::vector<std::string> diagnosis;
    // The rest of the line, for the spreadsheet export: a text empty and a number absent when
    // the line gives none (or null).
    std::string toolVersion;
    std::string device;
    std::string usbSerial;
    std::string profile;
    std::string checksum;
    std::vector<std::string> warnings;
    std::optional<double> blocksWritten;
    std::optional<double> blocksUnconfirmed;
    std::string deviceState;
    std::optional<double> seconds;
};

// The record on `line`; empty when the line is not one JSON object with a string port, image
// and sha256 and an outcome a write ends with (rewrite_outcome.h), or its diagnosis, when given,
// is not a list of strings. A started line ("event": "started") has a string attempt id
// instead of the outcome.
std::optional<ReadRecord> readRecordLine(std::string_view line);

}  // namespace quorvel::cli

#pragma once
// What a production line keeps of each device a write worked on: one JSON object a line in a
// record file (docs/record.md), built here without any device so that it can be checked alone.
// Each attempt at a device adds two lines: a started line before the first byte goes to the
// device, naming the attempt, and the final line once the write ended, carrying the same
// attempt id. A started line without its final line is a write that was cut off (the writer
// killed, a crash, a power cut): what it left on the device is unknown.
//
// The record's keys are listed once, in RecordKeys(): the lines written, the lines read back
// (record_reader.h), the database's columns and the spreadsheet's columns are all made from it.

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "outcome_words.h"

namespace quorvel {

struct Record {
    std::string attempt;  // the attempt's id, on its started and its final line
    std::string started;  // UTC, as the JSON report gives times
    std::string ended;
    std::string toolVersion;
    std::string host;
    std::string port;                          // as named on the command line
    std::string unit;                          // the board's unit id (--unit, a scan); may be empty
    std::string device;                        // the device the port resolved to; may be empty
    std::string usbSerial;                     // the USB adapter's serial number; may be empty
    std::string profile;                       // the station's profile, by its name; may be empty
    std::string unitCheck;                     // why the unit check was not made; may be empty
    std::string image;                         // the firmware file's path
    std::string sha256;                        // of the file's bytes
    std::string checksum;                      // CHECK SUM of C000 to FFFF
    std::string outcome;                       // an outcome's word (OutcomeWord)
    std::string failedStep;                    // empty on success
    std::string cause;                         // the failed step's kind of answer (AnswerKind)
    std::vector<std::string> diagnosis;        // what the failed step saw, or where it stopped
    std::vector<std::string> warnings;         // the image's load warnings, then the write's
    std::optional<int> blocksWritten = 0;      // 1 KiB blocks the device accepted
    std::optional<int> blocksUnconfirmed = 0;  // of those, the ones its answers did not confirm
    std::string deviceState;                   // what the write left on the device; may be empty
    std::optional<double> seconds = 0;         // written in full, so a short failure is not 0

    // Read back from a line (numbers empty where it gives none): a started line has no outcome;
    // an attempt whose started line has no final line is `unfinished`, counted as interrupted.
    bool opening = false;
    bool unfinished = false;
    OutcomeSeverity severity = OutcomeSeverity::Success;  // the outcome's

    bool operator==(const Record&) const = default;
};

// How a key's value stands in a line, in the database and in a spreadsheet.
enum class KeyType {
    Text,          // a string
    OptionalText,  // a string, null where empty
    LineText,      // a string, null where empty, kept in the line alone: no database column of
                   // its own, since tables made by earlier tools have none
    Time,          // UTC as ISO 8601 text; a time column in the database
    Event,         // "started" on the started line, "ended" on the final one
    Int,           // a count; null where unknown
    Double,        // a number; null where unknown
    TextList,      // a list of strings
};

// The event key's value on a started line and on a final one.
inline constexpr const char* kStartedEvent = "started";
inline constexpr const char* kEndedEvent = "ended";

// What a line must hold at a key to be read as a record.
enum class KeyNeed {
    Nothing,
    Text,               // a string on every line
    TextWhenStarted,    // a string on a started line
    TextWhenFinal,      // a string on a final line
    TextsIfGivenFinal,  // on a final line: when given (and not null), a list of strings
};

struct RecordKey {
    const char* name;
    std::variant<std::string Record::*, bool Record::*, std::optional<int> Record::*,
                 std::optional<double> Record::*, std::vector<std::string> Record::*>
        member;
    KeyType type;
    bool onStarted;  // on the started line too (every key is on the final line)
    KeyNeed need;
};

// Every key of a record line, in the order of its documentation.
std::span<const RecordKey> RecordKeys();

// A new attempt id, unique across stations and runs.
std::string newAttemptId();

// The final line as one line of JSON, without the line end; every key always, null where
// unknown. Text that is not UTF-8 (a path from an old file system) has those bytes replaced by
// U+FFFD.
std::string recordLine(const Record& record);

// The attempt's started line: its id, when it started, the tool, the host, the port, the unit,
// the device and its adapter, and the image, as one line of JSON without the line end.
std::string startedLine(const Record& record);

}  // namespace quorvel

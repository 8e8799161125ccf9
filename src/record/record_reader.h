#pragma once
// Reads back the lines of a record file (device_record.h): every key of the record, from a line
// that must be one JSON object. Where the build has simdjson, lines are read with it, many times
// faster than with Qt's JSON reader; a line simdjson does not take, or might read otherwise, is
// left to Qt's reader, so that both readings give the same records and refuse the same lines.

#include <optional>
#include <string_view>

#include "device_record.h"

namespace quorvel {

// The record on `line`; empty when the line is not one JSON object with a string port, image
// and sha256 and an outcome a write ends with (outcome_words.h), or its diagnosis, when given,
// is not a list of strings. A started line ("event": "started") has a string attempt id
// instead of the outcome. A key the line does not give (or gives as null) reads as an empty
// text, list or number.
enum class RecordParser {
    Fastest,  // simdjson where the build has it
    Qt,       // Qt's JSON reader alone
};
std::optional<Record> readRecordLine(std::string_view line,
                                     RecordParser parser = RecordParser::Fastest);
// The same into `record`, where a reader of many lines keeps it, its strings' room used again;
// false, and `record` empty, when the line is none.
bool readRecordLine(std::string_view line, std::optional<Record>& record,
                    RecordParser parser = RecordParser::Fastest);

// The record on `line` when it is the final line of a write of `unit` that succeeded; empty for
// any other line. A line that holds neither the id as it is nor an escape cannot name the unit,
// and is passed over without being read as JSON, so that years of records take little.
std::optional<Record> readWrittenLine(std::string_view line, std::string_view unit);

// Whether the build reads record lines with simdjson.
bool fastRecordParser();

}  // namespace quorvel

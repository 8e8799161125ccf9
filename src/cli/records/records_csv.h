#pragma once
// records --csv: every attempt a record file holds as one row of a spreadsheet, the record's
// fields in the columns (docs/record.md), a header row first. The rows follow RFC 4180: CR LF
// ends each; a field that holds a comma, a quote, a CR or a LF is quoted, its quotes doubled.
// A list (the diagnosis, the warnings) is one field, a line per text. Fields are written as the
// record holds them: a unit id that begins with "=" stays a text the spreadsheet may take for a
// formula, so import the file with its columns as text where the records come from outside.

#include <string>

#include "record_reader.h"

namespace quorvel::cli {

std::string csvHeader();

// The record's row, with its line end. `forTerminal` shows each field's control characters
// escaped (shownText), for a CSV read on a terminal rather than by a spreadsheet.
std::string csvRow(const Record& record, bool forTerminal);

}  // namespace quorvel::cli

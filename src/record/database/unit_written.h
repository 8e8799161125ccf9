#pragma once
// Whether the record shows a unit written: a board that a station or a one-off write already
// rewrote is not written again by mistake (a label scanned twice) unless the operator asks.

#include <optional>
#include <string>

namespace quorvel {

// Where the record at `record` (a record file, or a line's database: record_database.h) last
// shows `unit` written (its outcome success), as the operator reads it: "unit U-1 was written
// at 2026-12-07T10:00:00.123Z on line3-pc, port COM1 (line3.jsonl line 12)". None when no line
// does, or the file cannot be read (a record not made yet).
// A file is read whole, a piece at a time, keeping nothing but that line, so that the lines
// other stations added meanwhile are seen. Of a database, the lines that wait in its spool are
// asked first (the sentence then names the spool and its line), then its table (the row's id).
// When the database cannot be asked (`down` names since when the sink knows it does not
// answer; it is then not asked at all), `unasked` says why and none is no answer.
std::optional<std::string> findUnitWritten(const std::string& record, const std::string& unit,
                                           std::string* unasked = nullptr,
                                           const std::string& down = {});

}  // namespace quorvel

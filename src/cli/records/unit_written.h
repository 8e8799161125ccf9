#pragma once
// Whether a record file shows a unit written: a board that a station or a one-off write already
// rewrote is not written again by mistake (a label scanned twice) unless the operator asks.

#include <optional>
#include <string>

namespace quorvel::cli {

// Where a record file shows a unit written (its outcome success).
struct UnitWritten {
    std::string ended;  // when, as the line has it
    std::string host;
    std::string port;
    long long line = 0;
    std::string where;  // the file it is in when not the record itself: a database's spool
};

// The last line of the record file at `path` that shows `unit` written; none when no line does
// or the file cannot be read (a record not made yet). Reads the file whole, a piece at a time,
// keeping nothing but that line, so that it sees the lines other stations added meanwhile.
// `path` may also be a database's URI (record_database.h): then the lines that wait in its
// spool are asked first, and `line` is the row's id or the spool's line. When the database
// cannot be asked (`down` names since when the sink knows it does not answer; it is then not
// asked at all), `unasked` says why and none is no answer.
std::optional<UnitWritten> findUnitWritten(const std::string& path, const std::string& unit,
                                           std::string* unasked = nullptr,
                                           const std::string& down = {});

// "unit U-1 was written at 2026-12-07T10:00:00.123Z on line3-pc, port COM1 (line3.jsonl line
// 12)".
std::string unitWrittenText(const std::string& unit, const UnitWritten& written,
                            const std::string& path);

}  // namespace quorvel::cli

#pragma once
// The lines of a record file, read a piece at a time: whatever a file holds (years of records,
// a line without end), no more than one line of a record's greatest length is kept at once.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Far more than any record line: a record's texts are a few paths and diagnosis lines. A longer
// line is no record, and is passed over without being kept.
inline constexpr size_t kLongestRecordLine = 1 << 20;

// A line of spaces and tabs alone, which a record file may hold between its records: no record,
// and no line that could not be read either.
inline bool blankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

class RecordLines {
  public:
    enum class Next {
        Line,       // a line, without its end (LF or CR LF); the last may have none
        TooLong,    // a line longer than kLongestRecordLine, passed over
        End,        // the end of the file
        ReadError,  // the file could not be read on: error() says why
    };

    // Reads `file` from where it stands; the caller keeps it open, and closes it.
    explicit RecordLines(std::FILE* file) : file_(file), buffer_(kChunk) {}

    Next next(std::string& line);
    // The number of the line last returned, from 1; after the end, the number of lines read.
    long long number() const { return number_; }
    // The system's error number of a read error.
    int error() const { return error_; }

  private:
    static constexpr size_t kChunk = 1 << 16;
    std::FILE* file_;
    std::vector<char> buffer_;
    size_t at_ = 0;    // the first byte not yet taken
    size_t held_ = 0;  // the bytes in the buffer
    long long number_ = 0;
    int error_ = 0;
};

}  // namespace quorvel

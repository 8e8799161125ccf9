#pragma once
// Where a write keeps its record lines (device_record.h): a JSONL file, or a line's database.
// Every surface (one port, several ports, a station) adds its started and final lines through
// this interface, so that the rules of the record hold the same wherever the lines go.

#include <string>

#include "device_record.h"

namespace quorvel {

class RecordSink {
  public:
    virtual ~RecordSink() = default;

    // Adds the record's final line, or its started line; true once it is kept for good. Safe
    // from several threads. False when the line could not be kept: failure() then says why.
    virtual bool append(const Record& record) = 0;
    virtual bool appendStarted(const Record& record) = 0;

    // Why the record could not be opened, or the first line that could not be kept; empty
    // while every one was.
    virtual std::string failure() const = 0;

    // How messages name the record: the file's path, or the database without its password.
    virtual const std::string& path() const = 0;
};

}  // namespace quorvel

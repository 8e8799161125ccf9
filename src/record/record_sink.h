#pragma once
// Where a write keeps its record lines (device_record.h): a JSONL file, or a line's database.
// Every surface (one port, several ports, a station) adds its started and final lines through
// this interface, so that the rules of the record hold the same wherever the lines go.

#include <string>

#include "device_record.h"

namespace quorvel {

// Lines kept on this computer that the record's own store (a line's database) has not taken
// yet: how many, where they wait, and since when (local time, "10:42") the store does not
// answer; `since` is empty while it answers.
struct RecordBacklog {
    int lines = 0;
    std::string where;
    std::string since;
    std::string problem;  // what the store last said
};

// "database unreachable since 10:42: 12 lines wait in the spool"; empty while the store
// answers.
std::string backlogText(const RecordBacklog& backlog);

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

    // What waits for the store; nothing for a file, which takes each line at once.
    virtual RecordBacklog backlog() const { return {}; }
    // Waits up to `ms` while lines wait and the store takes them; true when none waits.
    virtual bool flush(int /*ms*/) { return true; }
};

}  // namespace quorvel

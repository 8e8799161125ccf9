#pragma once
// The record file of a write (--record FILE): one line per device and attempt, added at the
// end and on disk before the next device starts; lines already there are never touched. The
// devices of a write to several ports add their lines from their own threads: each line goes
// out whole, in one write at the file's end, never mixed with another.

#include <cstdint>
#include <mutex>
#include <string>

#include "device_record.h"

namespace quorvel::cli {

class RecordFile {
  public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens `path` for adding lines, creating it when missing; false when it cannot be written.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != kNoFile; }
    const std::string& path() const { return path_; }

    // Adds the record's line and flushes it to the disk. Safe from several threads. False
    // when the line could not be written; failure() then says so.
    bool append(const DeviceRecord& record);

    // The first line that could not be written, as a message; empty while every one was.
    std::string failure() const;

  private:
    // The open file: a descriptor on POSIX, a HANDLE on Windows; -1 (INVALID_HANDLE_VALUE) when
    // none is open.
    static constexpr std::intptr_t kNoFile = -1;
    std::string path_;
    std::intptr_t file_ = kNoFile;
    mutable std::mutex mutex_;
    std::string failure_;
};

}  // namespace quorvel::cli

#pragma once
// The record file of a write (--record FILE, the window's service history): the started and
// final line of each attempt at a device, added at the end and on disk before the device's
// first byte and before the next device starts; lines already there are never touched. The
// devices of a write to several ports add their lines from their own threads, and several
// stations may share the file: each line goes out whole or not at all, never mixed with another.

#include <QString>
#include <cstdint>
#include <mutex>
#include <string>

#include "device_record.h"
#include "record_sink.h"

namespace quorvel {

class RecordFile : public RecordSink {
  public:
    ~RecordFile() override;

    // Opens `path` for adding lines, creating it when missing (safe_file.h); false, with
    // failure() saying why, when it cannot be written, is not a regular file or lies where
    // another user could have put it. With `makeFolders`, missing folders on its way are made.
    bool open(const std::string& path, bool makeFolders = false);
    bool isOpen() const { return file_ != kNoFile; }
    const std::string& path() const override { return path_; }

    // Each line is flushed to the disk, safe from several programs too; a line that could not
    // be written whole is cut back off the file.
    bool append(const Record& record) override;
    bool appendStarted(const Record& record) override;
    // The same for a line made already (one that waited for a database), about `port`.
    bool appendText(const std::string& line, const std::string& port);

    std::string failure() const override;

  private:
    bool add(const std::string& line, const std::string& port);

    static constexpr std::intptr_t kNoFile = -1;  // the descriptor while none is open
    std::string path_;
    std::intptr_t file_ = kNoFile;
    mutable std::mutex mutex_;
    std::string failure_;
};

// The lock that every program takes while it adds to or empties a database's spool: an exclusive
// lock on a file beside it (its name and ".lock"), made (with its folders) as every file of the
// tool is, and released when this is gone, whatever ends the program.
class SpoolLock {
  public:
    explicit SpoolLock(const QString& spool);
    ~SpoolLock();
    SpoolLock(const SpoolLock&) = delete;
    SpoolLock& operator=(const SpoolLock&) = delete;
    bool held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace quorvel

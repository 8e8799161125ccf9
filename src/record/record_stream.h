#pragma once
// The records of a file, line by line. A regular file is read and parsed a few thousand lines
// ahead on a thread of its own while the caller sums up those before: reading a year of records
// then takes the longer of the two, not both. What is held ahead is bounded, whatever the file.
// Standard input, whose reads may wait for a writer for ever, is read as the caller asks.

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device_record.h"
#include "record_lines.h"

namespace quorvel {

class RecordStream {
  public:
    struct Item {
        RecordLines::Next next = RecordLines::Next::End;
        long long number = 0;  // the line's, from 1; after the end, the number of lines read
        bool blank = false;    // a Line of spaces and tabs alone, not read as a record
        std::optional<Record> record;  // a Line's record; empty when it is none
        int error = 0;                 // a ReadError's system error number
    };

    // Reads `file` from where it stands, ahead when `ahead` (a regular file, whose reads end);
    // the caller keeps it open until the stream is gone.
    RecordStream(std::FILE* file, bool ahead);
    ~RecordStream();
    RecordStream(const RecordStream&) = delete;
    RecordStream& operator=(const RecordStream&) = delete;

    // The next line, up to and including the End or the ReadError; it stands until the next
    // call, and its record may be moved away (a record left there is filled again later, in the
    // room its strings have).
    Item& next();

  private:
    static constexpr size_t kBatch = 512;  // lines handed over at once
    static constexpr size_t kBatches = 4;  // batches held ahead at most

    static bool last(const Item& item) {
        return item.next == RecordLines::Next::End || item.next == RecordLines::Next::ReadError;
    }
    void readOne(Item& item);
    void readAhead();

    RecordLines lines_;
    std::string line_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Item>> ready_;
    std::vector<std::vector<Item>> spent_;  // batches taken, for the reader to fill again
    bool stop_ = false;
    std::vector<Item> taking_;  // the batch the caller takes from
    size_t taken_ = 0;
    Item current_;             // the line read last without a thread
    std::optional<Item> end_;  // the last item, once handed over
    std::thread reader_;
};

}  // namespace quorvel

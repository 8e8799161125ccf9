#include "record_stream.h"

#include <utility>

#include "record_reader.h"

namespace quorvel {

RecordStream::RecordStream(std::FILE* file, bool ahead) : lines_(file) {
    if (ahead) reader_ = std::thread([this] { readAhead(); });
}

RecordStream::~RecordStream() {
    if (!reader_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void RecordStream::readOne(Item& item) {
    item.next = lines_.next(line_);
    item.number = lines_.number();
    item.blank = item.next == RecordLines::Next::Line && blankLine(line_);
    // The item's record, left there by the caller, is filled again in the room it has.
    if (item.next == RecordLines::Next::Line && !item.blank) {
        readRecordLine(line_, item.record);
    } else {
        item.record.reset();
    }
    item.error = item.next == RecordLines::Next::ReadError ? lines_.error() : 0;
}

void RecordStream::readAhead() {
    // Batches are filled in place: the records of a batch the caller is done with are filled
    // again in the room their strings have.
    std::vector<Item> batch(kBatch);
    size_t filled = 0;
    for (bool ended = false; !ended;) {
        readOne(batch[filled]);
        ended = last(batch[filled++]);
        if (filled < kBatch && !ended) continue;
        batch.resize(filled);
        filled = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || ready_.size() < kBatches; });
        if (stop_) return;
        ready_.push_back(std::move(batch));
        // The next batch in one the caller is done with, whose room is there already.
        batch.clear();
        if (!spent_.empty()) {
            batch = std::move(spent_.back());
            spent_.pop_back();
        }
        batch.resize(kBatch);
        lock.unlock();
        changed_.notify_all();
    }
}

RecordStream::Item& RecordStream::next() {
    if (end_) return *end_;
    Item* item = &current_;
    if (!reader_.joinable()) {
        readOne(current_);
    } else {
        if (taken_ == taking_.size()) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return !ready_.empty(); });
                spent_.push_back(std::move(taking_));
                taking_ = std::move(ready_.front());
                ready_.pop_front();
            }
            changed_.notify_all();
            taken_ = 0;
        }
        item = &taking_[taken_++];
    }
    if (last(*item)) end_ = *item;
    return *item;
}

}  // namespace quorvel

#pragma once
// Reply bytes waiting to go out on the pty master, each piece with the moment it is due.
// Pieces go out in order; a piece that is due is written as far as the pty takes it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace quorvel::sim {

class ReplyQueue {
  public:
    enum class WriteResult { Done, Blocked, Failed };

    // Queues `bytes`, to go out no earlier than `dueNs` and after everything queued before.
    void push(std::vector<uint8_t> bytes, int64_t dueNs);
    bool empty() const { return pieces_.empty(); }
    int64_t nextDueNs() const { return pieces_.front().due; }
    // When the last queued piece is due (0 when nothing was ever queued).
    int64_t lastDueNs() const { return lastDue_; }
    // Writes the pieces due at `nowNs`. Blocked: the pty is full, wait until it takes more.
    WriteResult writeDue(int fd, int64_t nowNs);

  private:
    struct Piece {
        int64_t due;
        std::vector<uint8_t> bytes;
        size_t offset = 0;
    };
    std::deque<Piece> pieces_;
    int64_t lastDue_ = 0;
};

// Time that `bytes` bytes take on a line of `baud` bit/s (10 bits a byte: start, 8 data,
// stop); 0 when the speed is unknown.
int64_t lineTimeNs(size_t bytes, int baud);

// Puts a reply on the queue. Unpaced (`baud` 0), it is due at `startNs`; paced, it goes out as
// a line of `baud` bit/s would carry it from `startNs` on: each small piece becomes due when its
// last byte would have arrived, so the last byte arrives lineTimeNs(bytes) after the start.
// With `pauseMs` > 0 it is cut into a few pieces with that pause between them instead.
void scheduleReply(ReplyQueue& queue, const std::vector<uint8_t>& bytes, int64_t startNs, int baud,
                   long pauseMs);

}  // namespace quorvel::sim

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

// How a reply travels to the tool.
struct Delivery {
    int baud = 0;            // paced at this speed in bit/s; 0: all at once
    long pauseMs = 0;        // > 0: a few pieces with this pause between them instead
    size_t packetBytes = 0;  // > 0: in packets of at most this many bytes, as a USB adapter
    long packetGapMs = 0;    //   hands them over, at least this far apart
};

// Puts a reply on the queue, to start at `startNs`. Unpaced, it is due at once; paced, it goes
// out as a line of `how.baud` bit/s would carry it: each piece becomes due when its last byte
// would have arrived, so the last byte arrives lineTimeNs(bytes) after the start.
void scheduleReply(ReplyQueue& queue, const std::vector<uint8_t>& bytes, int64_t startNs,
                   const Delivery& how);

}  // namespace quorvel::sim

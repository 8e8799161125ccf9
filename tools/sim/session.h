#pragma once
// The loader's side of the conversation: takes the bytes the tool wrote, cuts them into
// messages, answers each (healthy or faulted) and queues the reply.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "fault_table.h"
#include "loader_model.h"
#include "reply_queue.h"
#include "transcript.h"

namespace quorvel::sim {

// How replies are timed. With `pace`, each message is answered only after its own line time
// and the reply goes out at line speed; with `packetBytes`, replies are handed over in packets
// of that size, at least `packetGapMs` apart.
struct SessionTiming {
    bool pace = false;
    size_t packetBytes = 0;
    long packetGapMs = 0;
};

class Session {
  public:
    // `lineSpeed` gives the pty's present speed in bit/s (0 when unknown).
    Session(LoaderModel& model, FaultTable& faults, Transcript& transcript, ReplyQueue& queue,
            std::function<int()> lineSpeed, SessionTiming timing);

    void receive(const uint8_t* data, size_t size, int64_t nowNs);
    // A close-after fault fired: the loader leaves the line.
    bool closeRequested() const { return closeRequested_; }

  private:
    void answer(Message m, int64_t firstByteNs, int64_t nowNs);
    void loseTail(size_t at, const Message& m, const FaultRule& cut, int64_t nowNs);
    void flushDropped(int64_t nowNs);
    int64_t arrivalOf(uint64_t offset) const;

    LoaderModel& model_;
    FaultTable& faults_;
    Transcript& transcript_;
    ReplyQueue& queue_;
    std::function<int()> lineSpeed_;
    SessionTiming timing_;
    bool closeRequested_ = false;
    std::mt19937 random_{0x51u};

    std::vector<uint8_t> buffer_;  // received, not yet part of a message
    uint64_t consumed_ = 0;        // stream offset of buffer_[0]
    struct Read {
        uint64_t end;  // stream offset after the read
        int64_t ns;
    };
    std::vector<Read> reads_;  // arrival times of the reads that buffer_ still holds
    std::vector<uint8_t> dropped_;
};

}  // namespace quorvel::sim

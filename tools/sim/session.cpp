#include "session.h"

#include <algorithm>

#include "message_scanner.h"

namespace quorvel::sim {
namespace {
// The tool gives up on a reply this long after it started sending the message; late and tail
// faults count their delay from there.
constexpr int64_t kToolDeadlineNs = 2'500'000'000;
}  // namespace

Session::Session(LoaderModel& model, FaultTable& faults, Transcript& transcript, ReplyQueue& queue,
                 std::function<int()> lineSpeed, SessionTiming timing)
    : model_(model),
      faults_(faults),
      transcript_(transcript),
      queue_(queue),
      lineSpeed_(std::move(lineSpeed)),
      timing_(timing) {}

int64_t Session::arrivalOf(uint64_t offset) const {
    for (const Read& r : reads_) {
        if (r.end > offset) return r.ns;
    }
    return reads_.empty() ? 0 : reads_.back().ns;
}

void Session::flushDropped(int64_t nowNs) {
    if (dropped_.empty()) return;
    transcript_.dropped(nowNs, dropped_);
    dropped_.clear();
}

void Session::receive(const uint8_t* data, size_t size, int64_t nowNs) {
    buffer_.insert(buffer_.end(), data, data + size);
    reads_.push_back({consumed_ + buffer_.size(), nowNs});
    size_t at = 0;
    while (!closeRequested_ && at < buffer_.size()) {
        const ScanResult scan = scanMessage(buffer_.data() + at, buffer_.size() - at);
        if (scan.state == ScanState::NeedMore) break;
        if (scan.state == ScanState::Junk) {
            dropped_.push_back(buffer_[at++]);
            continue;
        }
        flushDropped(nowNs);
        Message m{scan.kind,
                  {buffer_.begin() + static_cast<std::ptrdiff_t>(at),
                   buffer_.begin() + static_cast<std::ptrdiff_t>(at + scan.length)}};
        if (const FaultRule* cut = faults_.cutDue(m)) {
            // What the loader heard of it begins a message that is not complete yet.
            loseTail(at, m, *cut, nowNs);
            continue;
        }
        const int64_t firstByteNs = arrivalOf(consumed_ + at);
        at += scan.length;
        answer(std::move(m), firstByteNs, nowNs);
    }
    if (at == buffer_.size()) flushDropped(nowNs);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at));
    consumed_ += at;
    std::erase_if(reads_, [this](const Read& r) { return r.end <= consumed_; });
}

// A cut rule fired on `m`, which lies at `at` in the buffer: the loader hears only its first
// bytes, as when the writer is killed mid-frame, and takes the bytes that come next for the rest
// of it. The lost bytes never arrived, so the reads after them end that much earlier.
void Session::loseTail(size_t at, const Message& m, const FaultRule& cut, int64_t nowNs) {
    const auto heard = static_cast<size_t>(cut.value);
    const size_t lost = m.bytes.size() - heard;
    transcript_.cut(nowNs, m, heard, cut);
    const auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(at + heard);
    buffer_.erase(from, from + static_cast<std::ptrdiff_t>(lost));
    const uint64_t offset = consumed_ + at + heard;
    for (Read& r : reads_) {
        if (r.end > offset) r.end -= std::min<uint64_t>(lost, r.end - offset);
    }
}

void Session::answer(Message m, int64_t firstByteNs, int64_t nowNs) {
    const int baud = lineSpeed_();
    transcript_.received(nowNs, m, baud);
    if (const FaultRule* close = faults_.closeDue(m)) {
        transcript_.closing(nowNs, m, *close);
        closeRequested_ = true;
        return;
    }
    const FaultRule* fault = faults_.take(m);
    const Reply healthy = model_.answer(m);
    std::vector<uint8_t> bytes = healthy.bytes;
    Delivery how{timing_.pace ? baud : 0, 0, timing_.packetBytes, timing_.packetGapMs};
    const int64_t startNs = std::max(nowNs, firstByteNs + lineTimeNs(m.bytes.size(), how.baud));
    // The part of the reply that misses the tool's deadline, and when it comes.
    size_t lateFrom = bytes.size();
    int64_t lateNs = 0;
    if (!fault) {
        model_.carryOut(m);
    } else if (fault->action == FaultAction::Slow || fault->action == FaultAction::Late ||
               fault->action == FaultAction::Tail) {
        model_.carryOut(m);
        if (fault->action == FaultAction::Slow) how.pauseMs = fault->value;
        if (fault->action != FaultAction::Slow) {
            lateFrom = fault->action == FaultAction::Late ? 0 : bytes.size() / 2;
            lateNs = firstByteNs + kToolDeadlineNs + int64_t{fault->value} * 1'000'000;
        }
    } else {
        bytes = applyFault(healthy, *fault, random_);
    }
    transcript_.sent(nowNs, m, healthy, bytes, fault);

    const auto split =
        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(lateFrom, bytes.size()));
    scheduleReply(queue_, {bytes.begin(), split}, startNs, how);
    scheduleReply(queue_, {split, bytes.end()}, std::max(startNs, lateNs), how);
}

}  // namespace quorvel::sim

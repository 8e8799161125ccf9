#include "session.h"

#include <algorithm>

#include "message_scanner.h"

namespace quorvel::sim {

Session::Session(LoaderModel& model, FaultTable& faults, Transcript& transcript, ReplyQueue& queue,
                 std::function<int()> lineSpeed, bool pace)
    : model_(model),
      faults_(faults),
      transcript_(transcript),
      queue_(queue),
      lineSpeed_(std::move(lineSpeed)),
      pace_(pace) {}

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
        const int64_t firstByteNs = arrivalOf(consumed_ + at);
        at += scan.length;
        answer(std::move(m), firstByteNs, nowNs);
    }
    if (at == buffer_.size()) flushDropped(nowNs);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at));
    consumed_ += at;
    std::erase_if(reads_, [this](const Read& r) { return r.end <= consumed_; });
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
    long pauseMs = 0;
    if (!fault) {
        model_.carryOut(m);
    } else if (fault->action == FaultAction::Slow) {
        model_.carryOut(m);
        pauseMs = fault->value;
    } else {
        bytes = applyFault(healthy, *fault, random_);
    }
    transcript_.sent(nowNs, m, healthy, bytes, fault);

    const int pacedBaud = pace_ ? baud : 0;
    const int64_t startNs = std::max(nowNs, firstByteNs + lineTimeNs(m.bytes.size(), pacedBaud));
    scheduleReply(queue_, bytes, startNs, pacedBaud, pauseMs);
}

}  // namespace quorvel::sim

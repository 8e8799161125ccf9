#include "reply_queue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "fault_table.h"

namespace quorvel::sim {

namespace {
// Paced replies go out in pieces of about this much line time.
constexpr int64_t kPacedPieceNs = 4'000'000;
}  // namespace

void ReplyQueue::push(std::vector<uint8_t> bytes, int64_t dueNs) {
    dueNs = std::max(dueNs, lastDue_);
    lastDue_ = dueNs;
    if (!bytes.empty()) pieces_.push_back({dueNs, std::move(bytes)});
}

ReplyQueue::WriteResult ReplyQueue::writeDue(int fd, int64_t nowNs) {
    while (!pieces_.empty() && pieces_.front().due <= nowNs) {
        Piece& p = pieces_.front();
        const ssize_t n = ::write(fd, p.bytes.data() + p.offset, p.bytes.size() - p.offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? WriteResult::Blocked
                                                           : WriteResult::Failed;
        }
        p.offset += static_cast<size_t>(n);
        if (p.offset < p.bytes.size()) return WriteResult::Blocked;
        pieces_.pop_front();
    }
    return WriteResult::Done;
}

int64_t lineTimeNs(size_t bytes, int baud) {
    if (baud <= 0) return 0;
    return static_cast<int64_t>(bytes) * 10'000'000'000 / baud;
}

void scheduleReply(ReplyQueue& queue, const std::vector<uint8_t>& bytes, int64_t startNs,
                   const Delivery& how) {
    if (bytes.empty()) return;
    startNs = std::max(startNs, queue.lastDueNs());
    if (how.pauseMs > 0) {
        const size_t pieces = std::min(kSlowPieces, bytes.size());
        for (size_t k = 0; k < pieces; ++k) {
            const size_t from = bytes.size() * k / pieces;
            const size_t to = bytes.size() * (k + 1) / pieces;
            queue.push({bytes.begin() + from, bytes.begin() + to},
                       startNs + int64_t{how.pauseMs} * 1'000'000 * static_cast<int64_t>(k));
        }
        return;
    }
    size_t per = bytes.size();
    if (how.packetBytes > 0) {
        per = how.packetBytes;
    } else if (how.baud > 0) {
        per = static_cast<size_t>(std::max<int64_t>(1, kPacedPieceNs / lineTimeNs(1, how.baud)));
    }
    const int64_t gapNs = int64_t{how.packetGapMs} * 1'000'000;
    int64_t previous = startNs - gapNs;
    for (size_t from = 0; from < bytes.size(); from += per) {
        const size_t to = std::min(bytes.size(), from + per);
        const int64_t due = std::max(startNs + lineTimeNs(to, how.baud), previous + gapNs);
        queue.push({bytes.begin() + from, bytes.begin() + to}, due);
        previous = due;
    }
}

}  // namespace quorvel::sim

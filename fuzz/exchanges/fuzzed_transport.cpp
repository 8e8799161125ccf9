#include "fuzzed_transport.h"

#include <array>

#include "../image_invariants.h"
#include "link_timing.h"

namespace quorvel::fuzz {
namespace {

enum Kind : uint8_t {
    kEcho = 5,
    kEchoToo = 6,
    kSilence = 7,
    kWriteFails = 8,
    kWaitFails = 9,
    kAbort = 10,
    kReenter = 11,
    kSplit = 12,
    kRefuseSettings = 13,
    kFlood = 14,
};

constexpr uint8_t kLongFlag = 16;
constexpr size_t kLongExtra = 1024;
constexpr size_t kFloodLength = 40000;
constexpr std::array<uint8_t, 8> kFills = {'0', '1', 'E', 'C', 'B', '\r', '\n', 0xFF};

}  // namespace

bool FuzzedTransport::open(const PortTarget& target) {
    require(!open_);  // the link closes the port before it opens it again
    failure_.clear();
    failed_ = false;
    if (refuseOpen || (target.portNumber == 0 && target.devicePath.empty())) {
        failure_ = "cannot open the port";
        return false;
    }
    open_ = true;
    // As the real port: what arrived while nobody had it open is not part of any reply.
    pending_.clear();
    late_.clear();
    return true;
}

void FuzzedTransport::close() {
    require(open_);  // the link only closes an open port
    open_ = false;
}

bool FuzzedTransport::setLineSettings(const LineSettings& settings) {
    require(settings.baudRate == 4800 || settings.baudRate == 9600 || settings.baudRate == 38400);
    if (open_) {
        const std::optional<uint8_t> next = script_.peek();
        if (next && (*next & 15) == kRefuseSettings) {
            script_.take();
            noteLoss();
            return false;
        }
    }
    settings_ = settings;
    return true;
}

bool FuzzedTransport::write(std::span<const uint8_t> bytes) {
    require(open_);
    transmissions_.push_back(
        {std::vector<uint8_t>(bytes.begin(), bytes.end()), settings_.baudRate, {}});
    if (failed_) return false;
    replyDue_ = true;
    pending_.insert(pending_.end(), late_.begin(), late_.end());
    late_.clear();
    waitFails_ = false;
    waitEvent_ = false;
    if (script_.empty()) return true;  // silence
    const uint8_t a = script_.take();
    const uint8_t kind = a & 15;
    const uint8_t fill = kFills[a >> 5];
    switch (kind) {
        case kSilence:
        case kRefuseSettings:
            return true;
        case kWriteFails:
            lose("the connection was lost while sending");
            return false;
        case kWaitFails:
            waitFails_ = true;
            return true;
        case kAbort:
            waitEvent_ = true;
            event_ = WaitEvent::Abort;
            return true;
        case kReenter:
            waitEvent_ = true;
            event_ = WaitEvent::Reenter;
            eventChoice_ = script_.take();
            return answer(a, fill);
        case kEcho:
        case kEchoToo: {
            const uint8_t before = script_.take();
            const uint8_t after = script_.take();
            takeBytes(before, fill, pending_);
            pending_.insert(pending_.end(), bytes.begin(), bytes.end());
            takeBytes(after, fill, pending_);
            return true;
        }
        case kSplit: {
            std::vector<uint8_t> reply;
            takeBytes(script_.take(), fill, reply);
            const size_t now = reply.size() / 2;
            pending_.insert(pending_.end(), reply.begin(), reply.begin() + now);
            late_.assign(reply.begin() + now, reply.end());
            return true;
        }
        case kFlood:
            pending_.insert(pending_.end(), kFloodLength, fill);
            return true;
        default:
            return answer(a, fill);
    }
}

bool FuzzedTransport::answer(uint8_t a, uint8_t fill) {
    size_t length = script_.take();
    if (a & kLongFlag) length += kLongExtra;
    takeBytes(length, fill, pending_);
    return true;
}

bool FuzzedTransport::waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) {
    // The first wait after a send is the reply wait; any more before the next send are the
    // link listening for the rest of a reply that missed its deadline.
    const bool settling = !replyDue_;
    replyDue_ = false;
    require(minimum > 0);
    require(settling ? minimum == 1 && deadline > std::chrono::milliseconds{0} &&
                           deadline <= kSettleLimit
                     : deadline == kReplyTimeout);
    if (!open_ || failed_) return false;
    if (settling) {
        // The rest of a split answer comes while the link listens for it.
        pending_.insert(pending_.end(), late_.begin(), late_.end());
        late_.clear();
        return true;
    }
    if (waitEvent_ && onWait) {
        waitEvent_ = false;
        onWait(event_, eventChoice_);
    }
    if (waitFails_) lose("the connection was lost while waiting");
    return !failed_ && !(abortSource_ && abortSource_());
}

std::vector<uint8_t> FuzzedTransport::readAll() {
    // A buffer of exactly the bytes read, so that a read past its end meets the sanitizer.
    std::vector<uint8_t> bytes(pending_.begin(), pending_.end());
    pending_.clear();
    if (!transmissions_.empty()) transmissions_.back().reply = bytes;
    return bytes;
}

int64_t FuzzedTransport::discardInput() {
    require(open_);
    const auto n = static_cast<int64_t>(pending_.size());
    pending_.clear();
    return n;
}

void FuzzedTransport::takeBytes(size_t count, uint8_t fill, std::vector<uint8_t>& into) {
    for (size_t i = 0; i < count; ++i) into.push_back(script_.take(fill));
}

void FuzzedTransport::lose(const char* why) {
    failed_ = true;
    failure_ = why;
    noteLoss();
}

void FuzzedTransport::noteLoss() {
    if (!lostAfter_) lostAfter_ = transmissions_.size();
}

}  // namespace quorvel::fuzz

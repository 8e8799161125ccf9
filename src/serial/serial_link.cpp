#include "serial_link.h"

#include <algorithm>
#include <chrono>

#include "line_settings.h"
#include "link_timing.h"
#include "port_mapping.h"

namespace quorvel {
namespace {

int16_t toCount(int64_t n) {
    return static_cast<int16_t>(std::clamp<int64_t>(n, 0, INT16_MAX));
}

}  // namespace

SerialLink::SerialLink(std::unique_ptr<Transport> transport)
    : bytTxBuf(kFrameSize, 0), transport_(std::move(transport)) {}

bool SerialLink::openPort(const PortTarget& target) {
    if (transport_->isOpen()) transport_->close();
    return transport_->open(target);
}

void SerialLink::closePort() {
    if (transport_->isOpen()) transport_->close();
}

bool SerialLink::send(std::span<const uint8_t> bytes) {
    transport_->discardInput();
    return transport_->write(bytes);
}

bool SerialLink::sendText(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return send(std::span<const uint8_t>(bytes, text.size()));
}

std::optional<int16_t> SerialLink::WaitForReply(int16_t minimum) {
    lastWait_ = WaitRecord{false, minimum, 0, false, 0};
    if (!transport_->waitForBytes(minimum, kReplyTimeout)) return {};
    const int16_t count = toCount(transport_->bytesAvailable());
    bytRxBuf = transport_->readAll();
    lastWait_ = WaitRecord{true, minimum, count, count < minimum, 0};
    if (count < minimum) {
        if (deadlineWatcher_) deadlineWatcher_();
        settleLine(count, minimum);
    }
    return count;
}

void SerialLink::settleLine(int64_t received, int16_t minimum) {
    using std::chrono::milliseconds;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto spent =
            std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        const milliseconds quiet = received >= minimum ? kSettleQuiet : kLateReplyWindow;
        const milliseconds window = std::min(quiet, kSettleLimit - spent);
        if (window <= milliseconds{0}) return;
        // A failed port or an aborted wait shows at the next send; nothing more to settle here.
        if (!transport_->waitForBytes(1, window)) return;
        const int64_t late = transport_->discardInput();
        if (late == 0) return;  // quiet for the whole window
        received += late;
        lastWait_.lateBytes += late;
    }
}

std::optional<int16_t> SerialLink::ReceiveWait() {
    return ReceiveWaitLine(std::span<const uint8_t>(bytTxBuf.data(), kFrameSize),
                           kFrameReplyLength);
}

std::optional<int16_t> SerialLink::ReceiveWaitLine(std::span<const uint8_t> line, int16_t minimum) {
    if (!setLineSettings(kSettings38400)) return {};
    if (!send(line)) return {};
    return WaitForReply(minimum);
}

}  // namespace quorvel

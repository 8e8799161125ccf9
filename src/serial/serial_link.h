#pragma once
// The serial link as the loader exchanges use it: line settings, opening the selected port,
// sending, the bounded reply wait and the frame and receive buffers.
//
// The link keeps no state between exchanges except the two buffers: the frame buffer
// bytTxBuf (1032 bytes, always sent whole) and the receive buffer bytRxBuf (everything the
// latest wait read, first byte at index 0).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "line_settings.h"
#include "transport.h"

namespace quorvel {

constexpr size_t kFrameSize = 1032;          // every long frame
constexpr int16_t kFrameReplyLength = 1036;  // the frame is usable from this many bytes on

// How the latest reply wait ended.
struct WaitRecord {
    bool ended = false;     // the wait ran to its end (false: none yet, or the port failed)
    int16_t minimum = 0;    // the count it waited for
    int16_t count = 0;      // the count it returned
    bool timedOut = false;  // the deadline passed with fewer than `minimum` bytes in
    int64_t lateBytes = 0;  // bytes of it that came after the deadline and were thrown away
};

class SerialLink {
  public:
    explicit SerialLink(std::unique_ptr<Transport> transport);

    // Closes the port if it is open, opens the selected port (Transport::open).
    bool openPort(const PortTarget& target);
    void closePort();
    // As the transport's own (transport.h).
    bool setLineSettings(const LineSettings& settings) {
        return transport_->setLineSettings(settings);
    }
    std::string holdDevice(const PortTarget& target) { return transport_->holdDevice(target); }
    void releaseDevice() { transport_->releaseDevice(); }
    bool isOpen() const { return transport_->isOpen(); }

    // Writes the text in one write, one byte per character. Like every send, it first throws
    // away whatever waits unread: nothing that came before a message answers it.
    bool sendText(std::string_view text);
    // Waits until at least `minimum` bytes are counted or the reply deadline has passed, then
    // reads every waiting byte into bytRxBuf. Returns the count read just before the buffer
    // was taken; empty when the port failed or the wait was aborted.
    std::optional<int16_t> WaitForReply(int16_t minimum);
    // Switches to 38400 bit/s, sends all of bytTxBuf in one write and waits for 1036 bytes.
    std::optional<int16_t> ReceiveWait();
    // The same send-and-wait step for a line record: the given bytes in one write at
    // 38400 bit/s, then a wait for `minimum` bytes.
    std::optional<int16_t> ReceiveWaitLine(std::span<const uint8_t> line, int16_t minimum);

    // Called when a wait's deadline passed short of its count, before the link listens for the
    // rest of a late reply (up to kSettleLimit): the moment an operator would otherwise see
    // nothing happen. Changes nothing on the line.
    void watchDeadline(std::function<void()> watcher) { deadlineWatcher_ = std::move(watcher); }

    // Forgets the latest reply wait, at the start of an exchange.
    void clearLastWait() { lastWait_ = WaitRecord{}; }
    void abortWaitsWhen(std::function<bool()> source) {  // Transport::abortWaitsWhen
        transport_->abortWaitsWhen(std::move(source));
    }

    // Why the port could not be opened or used during the latest exchange; empty when it was
    // fine.
    std::string failureText() const { return transport_->failureText(); }
    // The latest reply wait of the current exchange; cleared by clearLastWait().
    const WaitRecord& lastWait() const { return lastWait_; }

    std::vector<uint8_t> bytTxBuf;
    std::vector<uint8_t> bytRxBuf;

  private:
    bool send(std::span<const uint8_t> bytes);
    void settleLine(int64_t received, int16_t minimum);

    std::unique_ptr<Transport> transport_;
    WaitRecord lastWait_;
    std::function<void()> deadlineWatcher_;
};

}  // namespace quorvel

#pragma once
// A port whose device answers every transmission as the fuzzer's input says, at once: a wait
// never sleeps, silence simply leaves nothing to read. It records every transmission with the
// speed it went out at, and aborts on a write to a closed port.
//
// Each transmission takes one step from the input. Its first byte A:
//   A & 15   0-4, 15  answer: [N] then N bytes
//            5, 6     echo: [P][N], P bytes, the transmitted bytes, N bytes
//            7        silence
//            8        the write fails (the port is lost)
//            9        the wait fails (the port is lost during it)
//            10       the wait is aborted (and every later one)
//            11       another exchange is started during the wait: [X] picks it, then an answer
//            12       split answer: [N] and N bytes; half now, the rest before the next answer
//            13       the line-settings change before this transmission is refused (the step
//                     is used up by it; a write that meets it is answered with silence)
//            14       flood: 40000 fill bytes
//   A & 16   an answer of the first kind, or after starting another exchange, is 1024
//            bytes longer
//   A >> 5   fill byte, used once the input is used up: "0" "1" "E" "C" "B" CR LF FF
// With the input used up, every transmission meets silence.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "byte_source.h"
#include "transport.h"

namespace quorvel::fuzz {

struct Transmission {
    std::vector<uint8_t> bytes;
    int32_t baudRate;
    std::vector<uint8_t> reply;  // what the exchange read after it
};

// What the device side does while an exchange waits, besides answering.
enum class WaitEvent { Abort, Reenter };

class FuzzedTransport : public Transport {
  public:
    explicit FuzzedTransport(ByteSource& script) : script_(script) {}

    // Runs inside a wait as events would; `choice` is the reentry step's selector byte.
    std::function<void(WaitEvent event, uint8_t choice)> onWait;
    bool refuseOpen = false;

    const std::vector<Transmission>& transmissions() const { return transmissions_; }
    // How many transmissions had been made when the port first failed (a write, a wait or a
    // settings change); empty while it never did.
    std::optional<size_t> portLostAfter() const { return lostAfter_; }

    bool open(const PortTarget& target) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool setLineSettings(const LineSettings& settings) override;
    bool write(std::span<const uint8_t> bytes) override;
    bool waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) override;
    int64_t bytesAvailable() override { return static_cast<int64_t>(pending_.size()); }
    std::vector<uint8_t> readAll() override;
    int64_t discardInput() override;
    void abortWaitsWhen(std::function<bool()> source) override { abortSource_ = std::move(source); }
    std::string failureText() const override { return failure_; }

  private:
    bool answer(uint8_t a, uint8_t fill);  // [N] and N bytes, 1024 more when A & 16
    void takeBytes(size_t count, uint8_t fill, std::vector<uint8_t>& into);
    void lose(const char* why);
    void noteLoss();

    ByteSource& script_;
    std::vector<Transmission> transmissions_;
    LineSettings settings_;
    bool open_ = false;
    bool failed_ = false;
    std::function<bool()> abortSource_;
    bool waitFails_ = false;
    bool waitEvent_ = false;
    WaitEvent event_ = WaitEvent::Abort;
    uint8_t eventChoice_ = 0;
    std::optional<size_t> lostAfter_;
    std::vector<uint8_t> pending_;  // arrived, not yet read
    std::vector<uint8_t> late_;     // the rest of a split answer
    bool replyDue_ = false;         // a send was made and its reply wait has not begun
    std::string failure_;
};

}  // namespace quorvel::fuzz

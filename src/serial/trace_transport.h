#pragma once
// A transport that passes everything on to another one and writes a transcript of the
// dialogue: every open, close, settings change, the bytes sent and received and how each wait
// ended, with the time since the transcript began. Also counts the bytes on the wire.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "hex_text.h"
#include "transport.h"

namespace quorvel {

class TraceTransport final : public Transport {
  public:
    using Sink = std::function<void(std::string_view line)>;

    // `sink` receives one transcript line at a time (without line end); it may be empty when
    // only the counts are wanted.
    TraceTransport(std::unique_ptr<Transport> inner, Sink sink);

    bool open(const PortTarget& target) override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    bool setLineSettings(const LineSettings& settings) override;
    bool write(std::span<const uint8_t> bytes) override;
    bool waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) override;
    int64_t bytesAvailable() override { return inner_->bytesAvailable(); }
    std::vector<uint8_t> readAll() override;
    int64_t discardInput() override;
    void abortWaitsWhen(std::function<bool()> source) override {
        inner_->abortWaitsWhen(std::move(source));
    }
    std::string holdDevice(const PortTarget& target) override { return inner_->holdDevice(target); }
    void releaseDevice() override { inner_->releaseDevice(); }
    std::string failureText() const override { return inner_->failureText(); }

    // Adds a line of the caller's own (which step runs, its status), time-stamped like the
    // transport's lines.
    void noteLine(const std::string& text);

    uint64_t bytesSent() const { return bytesSent_; }
    uint64_t bytesReceived() const { return bytesReceived_; }
    uint64_t writes() const { return writes_; }

  private:
    std::unique_ptr<Transport> inner_;
    Sink sink_;
    std::chrono::steady_clock::time_point start_;
    uint64_t bytesSent_ = 0;
    uint64_t bytesReceived_ = 0;
    uint64_t writes_ = 0;
};

}  // namespace quorvel

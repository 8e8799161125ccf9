#pragma once
// The real serial port (QSerialPort). Replies are awaited in a local event loop driven by the
// port's readyRead signal and a single-shot timer, so the window keeps painting and handling
// events while the device answers, without busy polling.

#include <QSerialPort>
#include <functional>
#include <memory>

#include "device_hold.h"
#include "transport.h"

namespace quorvel {

class SerialPortTransport final : public Transport {
  public:
    SerialPortTransport();
    ~SerialPortTransport() override;

    bool open(const PortTarget& target) override;
    void close() override;
    bool isOpen() const override;
    bool setLineSettings(const LineSettings& settings) override;
    bool write(std::span<const uint8_t> bytes) override;
    bool waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) override;
    int64_t bytesAvailable() override;
    std::vector<uint8_t> readAll() override;
    int64_t discardInput() override;
    void abortWaitsWhen(std::function<bool()> source) override { abortSource_ = std::move(source); }
    std::string failureText() const override;
    std::string holdDevice(const PortTarget& target) override;
    void releaseDevice() override { sequenceHold_.release(); }

  private:
    bool applySettings();
    void noteFailure(QSerialPort::SerialPortError error);

    std::unique_ptr<QSerialPort> port_;
    DeviceHold openHold_;      // the device while the port is open
    DeviceHold sequenceHold_;  // the device across exchanges (holdDevice)
    LineSettings settings_;
    std::string name_;  // "COM3 (/dev/ttyUSB0)" for messages
    std::string failure_;
    bool failed_ = false;
    std::function<bool()> abortSource_;  // see Transport::abortWaitsWhen()
};

}  // namespace quorvel

#pragma once
// The serial port as the exchanges see it: a small interface so that the exchanges can run
// against the real port (SerialPortTransport) or a scripted peer in tests.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "line_settings.h"

namespace quorvel {

// The port the operator selected: the COM number, 0 when nothing is selected, and the device
// path when the command line named one (opened as it is instead of mapping the number).
struct PortTarget {
    int16_t portNumber = 0;
    std::string devicePath;
};

class Transport {
  public:
    virtual ~Transport() = default;

    // Opens the target; false when it cannot be opened (failureText() then says why). A real
    // port holds its device (DeviceHold) while it is open: a device another writer holds is
    // refused before anything is sent.
    virtual bool open(const PortTarget& target) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Kept while the port is closed and applied when it opens; takes effect at once on an
    // open port.
    virtual bool setLineSettings(const LineSettings& settings) = 0;
    // Hands all bytes to the port in one write.
    virtual bool write(std::span<const uint8_t> bytes) = 0;
    // Lets events run until at least `minimum` bytes wait to be read, or until `deadline` has
    // passed since the call. False when the port failed or the wait was aborted.
    virtual bool waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) = 0;
    virtual int64_t bytesAvailable() = 0;
    // Every byte that waits, in arrival order.
    virtual std::vector<uint8_t> readAll() = 0;
    // Throws away every byte that waits, also what the driver holds and has not handed over
    // yet; returns how many there were.
    virtual int64_t discardInput() = 0;
    // Asked every few milliseconds while a wait runs: true ends the wait at once (it returns
    // false). For a stop that cannot wait for the device's answer.
    virtual void abortWaitsWhen(std::function<bool()> source) { (void)source; }
    // Holds the target's device across several opens and closes (a rewrite from its connect to
    // its disconnect), so that no other writer takes it between two exchanges. Empty when held
    // (or when there is no device to hold: a scripted peer); otherwise who holds it.
    virtual std::string holdDevice(const PortTarget& target) {
        (void)target;
        return {};
    }
    virtual void releaseDevice() {}
    // Why the last open or transfer failed, in the tool's words; empty when nothing failed.
    virtual std::string failureText() const = 0;
};

}  // namespace quorvel

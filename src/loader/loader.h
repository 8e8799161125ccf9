#pragma once
// The exchanges with the device's flash loader. One Loader object holds the link and the
// three buffers that the exchanges share (frame buffer, receive buffer, line buffer); it runs
// one exchange at a time. Every exchange opens the port, talks, and closes the port before it
// returns, on every path, and reports a 16-bit status; none of them throws.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exchanges.h"
#include "memory_image.h"

namespace quorvel {

class Transport;     // the serial port behind a small interface (serial/transport.h)
struct LoaderState;  // what the exchanges share (loader_state.h)

class Loader : public Exchanges {
  public:
    // Uses the real serial port (QSerialPort).
    Loader();
    // Uses the given transport (tests, fuzzing).
    explicit Loader(std::unique_ptr<Transport> transport);
    ~Loader();
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    int16_t LoaderConnect(const ExchangeSettings& settings) override;
    int16_t PortCommand(const ExchangeSettings& settings) override;
    int16_t FlashErase(const ExchangeSettings& settings) override;
    int16_t FlashProgram(const ExchangeSettings& settings, const MemoryImage& image,
                         const ProgressCallback& progress) override;
    int16_t LoaderDisconnect(const ExchangeSettings& settings) override;
    int16_t TextCommand(const ExchangeSettings& settings, std::string_view word) override;
    int16_t RowWrite(const ExchangeSettings& settings, const MemoryImage& image,
                     const ProgressCallback& progress) override;

    // The Loader's end lets a held device go too.
    std::string holdDevice(const ExchangeSettings& settings) override;
    void releaseDevice() override;
    std::string portDescription(const ExchangeSettings& settings) const override;
    bool hasDevice(const ExchangeSettings& settings) const override;

    // True while an exchange holds the link. An exchange started meanwhile (from an event
    // handled during a reply wait) is refused at once with its failure code.
    bool busy() const override;
    // The stop source is asked right before every transmission (each attempt of a command or
    // frame; in the row walk, each row's record, whose acknowledgement still follows it). Once
    // it said yes, the running exchange and every later one close the port and return their
    // failure code, with `stopped` in their diagnostics. Set it before the exchanges run; it is
    // called on the thread that runs them.
    void stopWhen(std::function<bool()> source) override;
    // True once the stop source has said yes (it is asked again until then).
    bool stopRequested() const;
    // Ends a reply wait at once when `source` says so (asked every few milliseconds while a
    // wait runs): for a stop that cannot wait for the device's answer. The exchange then takes
    // its error path and closes the port.
    void abortWaitsWhen(std::function<bool()> source);

    // Tells `watcher` of every attempt whose reply missed its deadline, before the link listens
    // for late bytes, so that a retry or a silent device shows while it lasts. Called on the
    // thread that runs the exchanges; changes no byte, count or timing on the line. Empty: none.
    void watchAttempts(AttemptCallback watcher) override;

    // Buffers as the last exchange left them (tests and diagnostics).
    const std::vector<uint8_t>& bytTxBuf() const;
    const std::vector<uint8_t>& bytRxBuf() const;
    const std::vector<uint8_t>& bytLineBuf() const;

    std::string portFailureText() const override;
    const ExchangeDiagnostics& lastDiagnostics() const override;
    const std::vector<UnconfirmedAnswer>& answersNotConfirmed() const override;

  private:
    std::unique_ptr<LoaderState> d;
};

}  // namespace quorvel

#pragma once
// The loader exchanges as the commands call them. The window passes its Loader through a thin
// adapter; tests pass a scripted stand-in.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange_settings.h"
#include "loader.h"
#include "memory_image.h"

namespace quorvel {

class Exchanges {
  public:
    virtual ~Exchanges() = default;

    virtual int16_t LoaderConnect(const ExchangeSettings& settings) = 0;
    virtual int16_t PortCommand(const ExchangeSettings& settings) = 0;
    virtual int16_t FlashErase(const ExchangeSettings& settings) = 0;
    virtual int16_t FlashProgram(const ExchangeSettings& settings, const MemoryImage& image,
                                 const ProgressCallback& progress) = 0;
    virtual int16_t LoaderDisconnect(const ExchangeSettings& settings) = 0;
    virtual int16_t TextCommand(const ExchangeSettings& settings, std::string_view word) = 0;
    virtual int16_t RowWrite(const ExchangeSettings& settings, const MemoryImage& image,
                             const ProgressCallback& progress) = 0;

    // The erase, block and end answers of the last exchange that were taken without confirming
    // their frame (Loader::answersNotConfirmed()).
    virtual std::vector<UnconfirmedAnswer> answersNotConfirmed() const { return {}; }
    // The frames of the last exchange whose answer did not repeat them
    // (Loader::answersNotEchoed()).
    virtual std::vector<int> answersNotEchoed() const { return {}; }
    // Why the port could not be opened or failed during the last exchange; empty when it was
    // fine (Loader::portFailureText).
    virtual std::string portFailureText() const = 0;
    // What the last exchange saw of the device (Loader::lastDiagnostics).
    virtual ExchangeDiagnostics lastDiagnostics() const = 0;

    // The port as a technician checks it ("COM1 = /dev/ttyUSB0, FT232R USB UART, serial A1"),
    // and whether a device stands behind it now (port_description.h).
    virtual std::string portDescription(const ExchangeSettings& settings) const = 0;
    virtual bool hasDevice(const ExchangeSettings& settings) const = 0;
    // Holds the device that `settings` name across several exchanges (Loader::holdDevice):
    // empty when held, otherwise who holds it; releaseDevice() lets it go.
    virtual std::string holdDevice(const ExchangeSettings& settings) = 0;
    virtual void releaseDevice() = 0;

    virtual bool busy() const = 0;
    // Stops the exchanges between messages once `source` says so (Loader::stopWhen): the
    // message on the line still gets its answer or its whole wait, then nothing more is sent.
    virtual void stopWhen(std::function<bool()> source) = 0;
    // Tells `watcher` of every attempt whose reply missed its deadline (Loader::watchAttempts).
    virtual void watchAttempts(AttemptCallback watcher) = 0;
};

}  // namespace quorvel

#pragma once
// The loader exchanges as the commands call them, and what they report: the Loader implements
// this interface; tests pass a scripted stand-in.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange_settings.h"
#include "memory_image.h"

namespace quorvel {

// Progress of the block and row walks, called as the walk reaches each position: `row` is the
// block's first row (the programming walk, `blockStep` true: one progress-bar step per block
// position, sent or skipped) or the row (the row walk, `blockStep` false, every row visited).
using ProgressCallback = std::function<void(int row, bool blockStep)>;

// Failure codes of the exchanges' error paths.
constexpr int16_t kConnectFailure = 8;  // LoaderConnect, PortCommand
constexpr int16_t kFrameFailure = 1;    // FlashErase, FlashProgram, LoaderDisconnect
constexpr int16_t kLineFailure = -1;    // TextCommand, RowWrite
// Success values the operator commands accept.
constexpr int16_t kConnected = 3;      // LoaderConnect, status byte 'C'
constexpr int16_t kConnectedZero = 0;  // LoaderConnect, status byte '0'
constexpr int16_t kEraseAccepted = 4;  // FlashErase
constexpr int16_t kProgramDone = 0;    // FlashProgram, RowWrite, TextCommand
constexpr int16_t kDisconnected = 0;   // LoaderDisconnect

// What the last exchange saw of the device, so that a failure can be explained to an
// operator: how often it sent the message it ended on, and the last answer it judged.
struct ExchangeDiagnostics {
    int attempts = 0;      // sends of the message the exchange ended on (its command, block or row)
    int attemptLimit = 0;  // the most sends that message gets
    int row = -1;          // walks: first row of the block, or the row, sent last; -1 otherwise
    bool judged = false;   // an answer was waited for and judged
    int16_t expectedBytes = 0;    // the count from which that answer is usable
    int16_t receivedBytes = 0;    // the count its wait returned
    bool timedOut = false;        // its wait ended at the 2.5 s deadline, short of expectedBytes
    int16_t statusPosition = -1;  // where the status was read; -1 when it was not read
    std::vector<uint8_t> statusBytes;  // what was there: the status byte, the six bytes of a
                                       // text status, or the 20 bytes of a row's echo
    int64_t lateBytes = 0;             // bytes that came after that deadline and were thrown away
    bool echoDiffers = false;          // a whole frame answer did not begin with the frame sent
    // The exchange stopped on request (Loader::stopWhen) before sending its message once more:
    // `attempts` sends of it were made (0: it never went out) and `row` names it for the walks.
    bool stopped = false;
    // Connect: bytes came back that are no loader's answer to the connect word (they do not
    // repeat it), most likely the answer to a frame that an interrupted writer left unfinished:
    // what the device holds is unknown.
    bool foreignAnswer = false;
};

// A frame answer that was taken without confirming the frame. A loader confirms a frame by
// repeating the 1032 bytes it received and answering "0" after them; any other whole answer but
// "E" is still taken (the exchange goes on), but the device may not have stored the frame.
struct UnconfirmedAnswer {
    int row = -1;           // the block's first row; -1 for the erase and end frames
    bool repeated = false;  // the answer began with the frame as sent
    uint8_t answer = 0;     // received byte 1032, the answer byte
};
// An attempt whose reply missed its deadline: the link now listens for late bytes, then the
// exchange sends the message again (when `attempt` < `attemptLimit`) or gives up.
struct AttemptNote {
    int attempt = 0;       // which send of the message it was, from 1
    int attemptLimit = 0;  // the most sends the message gets
    int row = -1;          // walks: first row of the block, or the row; -1 otherwise
};
using AttemptCallback = std::function<void(const AttemptNote& note)>;

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

    // Why the port could not be opened or failed during the last exchange ("cannot open COM3:
    // the port is busy ..."); empty when the port was fine (the device may still have said no).
    virtual std::string portFailureText() const = 0;
    // What the last exchange saw of the device (see ExchangeDiagnostics).
    virtual const ExchangeDiagnostics& lastDiagnostics() const = 0;
    // The frames of the last exchange whose answer was taken without confirming them (see
    // UnconfirmedAnswer): a block not stored, or a loader of another kind.
    virtual const std::vector<UnconfirmedAnswer>& answersNotConfirmed() const = 0;

    // The port as a technician checks it ("COM1 = /dev/ttyUSB0, FT232R USB UART, serial A1"),
    // and whether a device stands behind it now (port_description.h).
    virtual std::string portDescription(const ExchangeSettings& settings) const = 0;
    virtual bool hasDevice(const ExchangeSettings& settings) const = 0;
    // Holds the device that `settings` name across several exchanges (a rewrite from its
    // connect to its disconnect), so that no other writer takes it between two of them; each
    // exchange holds it anyway while its port is open. Empty when held; otherwise why not,
    // naming who holds it ("busy: ... ; nothing was sent"). releaseDevice() lets it go.
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

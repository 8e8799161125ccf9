#pragma once
// The exchanges with the device's flash loader. One Loader object holds the link and the
// three buffers that the exchanges share (frame buffer, receive buffer, line buffer); it runs
// one exchange at a time. Every exchange opens the port, talks, and closes the port before it
// returns, on every path, and reports a 16-bit status; none of them throws.
//
// (This header is the contract between the loader layer and its users; the implementation
// lives in the .cpp files beside it.)

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exchange_settings.h"
#include "memory_image.h"

namespace quorvel {

class Transport;  // the serial port behind a small interface (serial/transport.h)

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

class Loader {
  public:
    // Uses the real serial port (QSerialPort).
    Loader();
    // Uses the given transport (tests, fuzzing).
    explicit Loader(std::unique_ptr<Transport> transport);
    ~Loader();
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    int16_t LoaderConnect(const ExchangeSettings& settings);
    int16_t PortCommand(const ExchangeSettings& settings);
    int16_t FlashErase(const ExchangeSettings& settings);
    int16_t FlashProgram(const ExchangeSettings& settings, const MemoryImage& image,
                         const ProgressCallback& progress);
    int16_t LoaderDisconnect(const ExchangeSettings& settings);
    int16_t TextCommand(const ExchangeSettings& settings, std::string_view word);
    int16_t RowWrite(const ExchangeSettings& settings, const MemoryImage& image,
                     const ProgressCallback& progress);

    // Holds the device that `settings` name across several exchanges (a rewrite from its
    // connect to its disconnect), so that no other writer takes it between two of them; each
    // exchange holds it anyway while its port is open. Empty when held; otherwise why not,
    // naming who holds it ("busy: ... ; nothing was sent"). releaseDevice() lets it go, and so
    // does the Loader's end.
    std::string holdDevice(const ExchangeSettings& settings);
    void releaseDevice();

    // True while an exchange holds the link. An exchange started meanwhile (from an event
    // handled during a reply wait) is refused at once with its failure code.
    bool busy() const;
    // Ends the running exchange as soon as possible: the current wait returns at once, the
    // exchange takes its error path and closes the port. Used when the window closes.
    void cancel();

    // Stops the exchanges between messages when `source` says so: it is asked right before
    // every transmission (each attempt of a command or frame; in the row walk, each row's
    // record, whose acknowledgement still follows it). Once it has said yes, the message on
    // the line still gets its answer or its whole wait, then nothing more is sent: the running
    // exchange and every later one close the port and return their failure code, with
    // `stopped` in their diagnostics. Set it before the exchanges run; it is called on the
    // thread that runs them.
    void stopWhen(std::function<bool()> source);
    // True once the stop source has said yes (it is asked again until then).
    bool stopRequested() const;
    // Ends a reply wait at once when `source` says so (asked every few milliseconds while a
    // wait runs): for a stop that cannot wait for the device's answer. The exchange then takes
    // its error path and closes the port.
    void abortWaitsWhen(std::function<bool()> source);

    // Tells `watcher` of every attempt whose reply missed its deadline, before the link listens
    // for late bytes, so that a retry or a silent device shows while it lasts. Called on the
    // thread that runs the exchanges; changes no byte, count or timing on the line. Empty: none.
    void watchAttempts(AttemptCallback watcher);

    // Buffers as the last exchange left them (tests and diagnostics).
    const std::vector<uint8_t>& bytTxBuf() const;
    const std::vector<uint8_t>& bytRxBuf() const;
    const std::vector<uint8_t>& bytLineBuf() const;

    // Why the port could not be opened or failed during the last exchange ("cannot open COM3:
    // the port is busy ..."); empty when the port was fine (the device may still have said no).
    std::string portFailureText() const;
    // What the last exchange saw of the device (see ExchangeDiagnostics).
    const ExchangeDiagnostics& lastDiagnostics() const;
    // The frames of the last exchange whose answer was taken although it did not begin with
    // the frame as sent: the block's first row for programming, -1 for the erase and end
    // frames. Such an answer may not come from a loader that stored the frame.
    const std::vector<int>& answersNotEchoed() const;
    // The frames of the last exchange whose answer was taken without confirming them (see
    // UnconfirmedAnswer): a block not stored, or a loader of another kind.
    const std::vector<UnconfirmedAnswer>& answersNotConfirmed() const;

  private:
    struct State;
    std::unique_ptr<State> d;
};

}  // namespace quorvel

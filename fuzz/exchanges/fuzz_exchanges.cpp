// One exchange against a device that answers as the input says (see exchange_run.h for the
// settings part and fuzzed_transport.h for the answers). Whatever comes back, the exchange
// must read only inside its buffers (the sanitizers watch that), close the port, return a
// status its rules allow, keep to its attempt limits, and stop at once when the port fails
// or a wait is aborted. An exchange started while another one waits must be refused
// without touching the port or the buffers.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "../image_invariants.h"
#include "exchange_checks.h"
#include "exchange_run.h"
#include "fuzzed_transport.h"
#include "loader.h"

using namespace quorvel;
using namespace quorvel::fuzz;

namespace {

MemoryImage& candidateImage() {
    static MemoryImage image = [] {
        MemoryImage cleared;
        cleared.ClearImage();
        for (const int row : kCandidateRows) {
            for (int c = 0; c < kRowBytes; ++c) cleared.setValue(row, c, candidateValue(row, c));
        }
        return cleared;
    }();
    return image;
}

// Starts another exchange from inside a wait, as a click handled during the wait would.
void startAnother(Loader& loader, const FuzzedTransport& port, const Run& run,
                  const MemoryImage& image, uint8_t choice) {
    require(loader.busy() && port.isOpen());
    const size_t sent = port.transmissions().size();
    const std::vector<uint8_t> tx = loader.bytTxBuf();
    const std::vector<uint8_t> rx = loader.bytRxBuf();
    const std::vector<uint8_t> line = loader.bytLineBuf();
    const auto other = static_cast<Exchange>(choice % kExchangeCount);
    const int16_t status = runExchange(loader, other, run, image, nullptr);
    require(status == ruleFor(other).failure);
    require(loader.busy() && port.isOpen() && port.transmissions().size() == sent);
    require(loader.bytTxBuf() == tx && loader.bytRxBuf() == rx && loader.bytLineBuf() == line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteSource input(data, size);
    MemoryImage& image = candidateImage();
    const Run run = readRun(input, image);

    auto owned = std::make_unique<FuzzedTransport>(input);
    FuzzedTransport& port = *owned;
    port.refuseOpen = run.refuseOpen;
    Loader loader(std::move(owned));

    bool aborted = false;
    size_t sentAtAbort = 0;
    loader.abortWaitsWhen([&] { return aborted; });
    port.onWait = [&](WaitEvent event, uint8_t choice) {
        if (event == WaitEvent::Reenter) return startAnother(loader, port, run, image, choice);
        aborted = true;
        sentAtAbort = port.transmissions().size();
    };

    ProgressCount progress;
    const int16_t status = runExchange(loader, run.exchange, run, image, &progress);

    require(!port.isOpen() && !loader.busy());
    const int16_t failure = ruleFor(run.exchange).failure;
    const bool openFails =
        run.refuseOpen || (run.settings.portNumber == 0 && run.settings.devicePath.empty());
    if (openFails) {
        require(status == failure && port.transmissions().empty());
        require(!loader.portFailureText().empty());
    }
    if (const std::optional<size_t> lost = port.portLostAfter()) {
        require(status == failure && port.transmissions().size() == *lost);
    }
    if (aborted) require(status == failure && port.transmissions().size() == sentAtAbort);
    const bool trouble = openFails || port.portLostAfter() || aborted;
    checkOutcome(run, image, Outcome{status, port.transmissions(), progress, trouble});
    return 0;
}

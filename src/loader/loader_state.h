#pragma once
// What a Loader holds between and during exchanges, and the scope that marks one exchange as
// holding the link. Private to the loader's implementation files.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "line_records.h"
#include "loader.h"
#include "serial_link.h"

namespace quorvel {

struct LoaderState {
    explicit LoaderState(std::unique_ptr<Transport> transport)
        : link(std::move(transport)), bytLineBuf(line::kSize, 0) {
        link.watchDeadline([this] {
            if (attemptWatcher) {
                attemptWatcher({diagnostics.attempts, diagnostics.attemptLimit, diagnostics.row});
            }
        });
    }

    line::Buffer lineBuffer() { return line::Buffer(bytLineBuf.data(), line::kSize); }

    // The exchange sends its message (command, block `row` or row `row`) for the n-th time;
    // n = 0: it reached that message but could not send it. What the previous attempt saw
    // no longer counts.
    void attempt(int n, int limit, int row = -1) {
        diagnostics = ExchangeDiagnostics{};
        diagnostics.attempts = n;
        diagnostics.attemptLimit = limit;
        diagnostics.row = row;
    }
    // The answer of the latest wait is judged by `length` bytes from `position` on (position
    // -1: by its length alone). Called after every wait whose answer the exchange judges,
    // also when that answer is too short to be read.
    void judge(int16_t position, size_t length) {
        const WaitRecord& wait = link.lastWait();
        diagnostics.judged = wait.ended;
        if (!wait.ended) return;  // the port failed: failureText() tells why
        diagnostics.expectedBytes = wait.minimum;
        diagnostics.receivedBytes = wait.count;
        diagnostics.timedOut = wait.timedOut;
        diagnostics.lateBytes = wait.lateBytes;
        diagnostics.statusPosition = -1;
        diagnostics.statusBytes.clear();
        const std::vector<uint8_t>& rx = link.bytRxBuf;
        if (position < 0 || wait.count < wait.minimum || size_t(position) + length > rx.size()) {
            return;
        }
        diagnostics.statusPosition = position;
        diagnostics.statusBytes.assign(rx.begin() + position, rx.begin() + position + length);
    }

    // See Loader::stopWhen(); the answer is kept once it is yes.
    bool stopRequested() {
        if (stopped.load()) return true;
        if (!stopSource || !stopSource()) return false;
        stopped.store(true);
        return true;
    }
    // True when the exchange must not send its message (attempt `n` of `limit`; block or row
    // `row` in the walks): a stop was requested. The diagnostics then say so; on a first
    // attempt they name the message that never went out.
    bool stopBefore(int n, int limit, int row = -1) {
        if (!stopRequested()) return false;
        if (n == 1) attempt(0, limit, row);
        diagnostics.stopped = true;
        return true;
    }

    SerialLink link;
    std::vector<uint8_t> bytLineBuf;
    std::function<bool()> stopSource;
    AttemptCallback attemptWatcher;
    std::atomic<bool> stopped{false};
    bool busy = false;
    std::string failure;  // why the port failed during the last exchange
    ExchangeDiagnostics diagnostics;
    std::vector<UnconfirmedAnswer> unconfirmed;  // see Loader::answersNotConfirmed()
};

// Marks the link as held for the length of one exchange. An exchange that finds the link
// already held (started from an event handled during another one's wait) must return its
// failure code at once, touching neither the port nor the buffers. On leaving, the port is
// closed whatever path the exchange took.
class ExchangeScope {
  public:
    explicit ExchangeScope(LoaderState& state) : state_(state), entered_(!state.busy) {
        if (!entered_) return;
        state_.busy = true;
        state_.failure.clear();
        state_.diagnostics = ExchangeDiagnostics{};
        state_.unconfirmed.clear();
        state_.link.clearLastWait();
    }
    ~ExchangeScope() {
        if (!entered_) return;
        state_.failure = state_.link.failureText();
        state_.link.closePort();
        state_.busy = false;
    }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

    bool entered() const { return entered_; }

  private:
    LoaderState& state_;
    bool entered_;
};

}  // namespace quorvel

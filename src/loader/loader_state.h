#pragma once
// What a Loader holds between and during exchanges, and the scope that marks one exchange as
// holding the link. Private to the loader's implementation files.

#include <memory>
#include <string>
#include <vector>

#include "line_records.h"
#include "loader.h"
#include "serial_link.h"

namespace quorvel {

struct LoaderState {
    explicit LoaderState(std::unique_ptr<Transport> transport)
        : link(std::move(transport)), bytLineBuf(line::kSize, 0) {}

    line::Buffer lineBuffer() { return line::Buffer(bytLineBuf.data(), line::kSize); }

    SerialLink link;
    std::vector<uint8_t> bytLineBuf;
    bool busy = false;
    std::string failure;  // why the port failed during the last exchange
};

struct Loader::State : LoaderState {
    using LoaderState::LoaderState;
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
        state_.link.clearCancel();
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

#pragma once
// The simulated device behind the loader: 128 KiB of flash at 0x4000..0x23FFF, a port of 32
// pins, and the row record that waits for its "OK". It answers each message the way a
// healthy loader does; whether the message is also carried out is the caller's decision
// (a faulted message is not).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "message.h"

namespace quorvel::sim {

constexpr uint32_t kFlashFirst = 0x4000;
constexpr uint32_t kFlashSize = 0x20000;  // up to and including 0x23FFF
constexpr int kPinCount = 32;

struct Reply {
    std::vector<uint8_t> bytes;
    size_t statusAt = 0;
    size_t statusLength = 0;  // 0: the reply carries no status (row record echo)
};

class LoaderModel {
  public:
    explicit LoaderModel(const std::vector<int>& inputLowPins = {});

    // The healthy answer to `m`, judged against the present state.
    Reply answer(const Message& m) const;
    // Applies `m` to the flash, the pins or the pending row.
    void carryOut(const Message& m);

    const std::vector<uint8_t>& flash() const { return flash_; }

  private:
    enum class Pin { Input, OutputLow, OutputHigh };

    char frameStatus(const Message& m) const;
    static std::optional<int> pinNumber(const Message& m);
    void write(uint32_t address, const uint8_t* data, size_t length);

    std::vector<uint8_t> flash_;
    std::array<Pin, kPinCount> pins_{};
    std::array<bool, kPinCount> inputLow_{};
    std::optional<Message> pendingRow_;
};

}  // namespace quorvel::sim

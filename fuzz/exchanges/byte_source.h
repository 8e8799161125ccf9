#pragma once
// The fuzzer's input read front to back: the exchange's settings first, then what the device
// does with each transmission.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvel::fuzz {

class ByteSource {
  public:
    ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    // The next byte, or `fallback` once the input is used up.
    uint8_t take(uint8_t fallback = 0) { return empty() ? fallback : data_[pos_++]; }
    std::optional<uint8_t> peek() const {
        if (empty()) return {};
        return data_[pos_];
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace quorvel::fuzz

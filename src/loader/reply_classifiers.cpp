#include "reply_classifiers.h"

#include <utility>

namespace quorvel {
namespace {

constexpr uint8_t kCr = 13;
constexpr uint8_t kLf = 10;

}  // namespace

std::optional<int16_t> ReplyCode(std::span<const uint8_t> received, int16_t position) {
    if (position < 0 || static_cast<size_t>(position) >= received.size()) return {};
    constexpr std::pair<uint8_t, int16_t> kCodes[] = {{'0', 0}, {'1', 1}, {'E', 2}, {'C', 3},
                                                      {'B', 4}, {'P', 5}, {'R', 13}};
    for (const auto& [byte, code] : kCodes) {
        if (received[static_cast<size_t>(position)] == byte) return code;
    }
    return kNotRecognised;
}

std::optional<int16_t> ReplyText(std::span<const uint8_t> received, int16_t position) {
    if (position < 0 || static_cast<size_t>(position) + kTextStatusLength > received.size()) {
        return {};
    }
    const auto at = [&](int offset) { return received[static_cast<size_t>(position + offset)]; };
    if (at(0) != kCr || at(1) != kLf || at(4) != kCr || at(5) != kLf) return kNotRecognised;
    const uint8_t first = at(2);
    const uint8_t second = at(3);
    if (first == 'O' && second == 'K') return 0;
    if (first == 'N' && second == 'G') return 1;
    if (first == '0' && second >= '0' && second <= '3')
        return static_cast<int16_t>(9 + second - '0');
    return kNotRecognised;
}

}  // namespace quorvel

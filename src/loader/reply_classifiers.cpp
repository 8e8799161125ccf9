#include "reply_classifiers.h"

namespace quorvel {
namespace {

constexpr uint8_t kCr = 13;
constexpr uint8_t kLf = 10;
constexpr int16_t kTextStatusLength = 6;

}  // namespace

std::optional<int16_t> ReplyCode(std::span<const uint8_t> received, int16_t position) {
    if (position < 0 || static_cast<size_t>(position) >= received.size()) return {};
    switch (received[static_cast<size_t>(position)]) {
        case '0':
            return 0;
        case '1':
            return 1;
        case 'E':
            return 2;
        case 'C':
            return 3;
        case 'B':
            return 4;
        case 'P':
            return 5;
        case 'R':
            return 13;
        default:
            return kNotRecognised;
    }
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

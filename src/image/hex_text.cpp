#include "hex_text.h"

#include <limits>

namespace quorvel {

HexReading readHexLenient(std::string_view text) {
    HexReading r;
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        int d = hexDigitValue(c);
        if (d < 0) break;
        if (r.value > (std::numeric_limits<uint64_t>::max() >> 4)) {
            r.value = std::numeric_limits<uint64_t>::max();
        } else {
            r.value = (r.value << 4) | static_cast<uint64_t>(d);
        }
        ++r.digits;
    }
    return r;
}

uint32_t readHexField(std::string_view line, size_t position, size_t length) {
    if (position == 0 || position > line.size()) return 0;
    return static_cast<uint32_t>(readHexLenient(line.substr(position - 1, length)).value);
}

int readDecimalDigit(std::string_view line, size_t position) {
    if (position == 0 || position > line.size()) return 0;
    char c = line[position - 1];
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

std::string hexBytes(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

}  // namespace quorvel

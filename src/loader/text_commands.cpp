#include "text_commands.h"

#include <algorithm>
#include <string_view>

namespace quorvel {

ConnectCommand connectCommandFor(LoaderGeneration generation) {
    if (generation == LoaderGeneration::V105) return {"QZ~FLASH\r\n", 10, 14};
    return {"QZ~FLASHU\r\n", 11, 15};
}

bool answersConnectWord(std::span<const uint8_t> reply) {
    constexpr std::string_view kStem = "QZ~FLASH";
    const size_t n = std::min(reply.size(), kStem.size());
    return n > 0 &&
           std::equal(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(n), kStem.begin());
}

std::string BuildPortCommand(const std::string& pinText, PortMode mode) {
    const char digit = static_cast<char>('0' + static_cast<int>(mode));
    return "QZ~P" + pinText + digit + '\r';
}

std::string portResultText(int16_t status) {
    switch (status) {
        case 0:
            return "OK";
        case 1:
            return "NG";
        case 9:
            return "L出力";
        case 10:
            return "H出力";
        case 11:
            return "L入力";
        case 12:
            return "H入力";
        default:
            return "???";
    }
}

}  // namespace quorvel

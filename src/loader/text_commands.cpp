#include "text_commands.h"

#include <algorithm>
#include <map>
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
    static const std::map<int16_t, std::string> kTexts{{0, "OK"},     {1, "NG"},     {9, "L出力"},
                                                       {10, "H出力"}, {11, "L入力"}, {12, "H入力"}};
    const auto found = kTexts.find(status);
    return found == kTexts.end() ? "???" : found->second;
}

}  // namespace quorvel

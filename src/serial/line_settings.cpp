#include "line_settings.h"

#include <charconv>

namespace quorvel {
namespace {

// Splits off the text before the next comma and moves `rest` past it.
std::string_view nextField(std::string_view& rest) {
    const size_t comma = rest.find(',');
    const std::string_view field = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    return field;
}

std::optional<int32_t> positiveNumber(std::string_view field) {
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc{} || end != field.data() + field.size() || value <= 0) return {};
    return value;
}

}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text) {
    std::string_view rest = text;
    const auto baud = positiveNumber(nextField(rest));
    const std::string_view parity = nextField(rest);
    const auto data = positiveNumber(nextField(rest));
    const auto stop = positiveNumber(nextField(rest));
    if (!baud || !data || !stop || !rest.empty()) return {};
    if (parity.size() != 1) return {};
    const char p = static_cast<char>(parity[0] | 0x20);  // either case
    if (p != 'n' && p != 'e' && p != 'o') return {};
    if (*data < 5 || *data > 8 || *stop > 2) return {};
    return LineSettings{*baud, p, static_cast<int>(*data), static_cast<int>(*stop)};
}

std::string_view settingsForSpeed(SpeedOption option) {
    switch (option) {
        case SpeedOption::Bps38400:
            return kSettings38400;
        case SpeedOption::Bps4800:
            return kSettings4800;
        case SpeedOption::Bps9600:
            break;
    }
    return kSettings9600;
}

}  // namespace quorvel

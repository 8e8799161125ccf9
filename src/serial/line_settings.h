#pragma once
// Line settings of the serial port, written the way the exchanges name them: speed in bit/s,
// parity, data bits and stop bits, separated by commas ("9600,n,8,1").

#include <cstdint>
#include <optional>
#include <string_view>

#include "exchange_settings.h"

namespace quorvel {

inline constexpr std::string_view kSettings9600 = "9600,n,8,1";    // connect; speed option 0
inline constexpr std::string_view kSettings38400 = "38400,n,8,1";  // every frame; option 1
inline constexpr std::string_view kSettings4800 = "4800,n,8,1";    // opening speed; option 2

struct LineSettings {
    int32_t baudRate = 9600;
    char parity = 'n';  // 'n' none, 'e' even, 'o' odd
    int dataBits = 8;
    int stopBits = 1;

    bool operator==(const LineSettings&) const = default;
};

// Reads a settings string; empty when it is not of the form "speed,parity,data,stop".
std::optional<LineSettings> parseLineSettings(std::string_view text);

// The settings string that a speed option selects.
std::string_view settingsForSpeed(SpeedOption option);

}  // namespace quorvel

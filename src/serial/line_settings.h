#pragma once
// Line settings of the serial port: speed in bit/s, parity, data bits and stop bits. The loader
// speaks 8 data bits, no parity, one stop bit at one of three speeds.

#include <cstdint>
#include <string>

namespace quorvel {

struct LineSettings {
    int32_t baudRate = 9600;
    char parity = 'n';  // 'n' none, 'e' even, 'o' odd
    int dataBits = 8;
    int stopBits = 1;

    bool operator==(const LineSettings&) const = default;

    // The settings as the transcript and the dry run name them: "38400,n,8,1".
    std::string text() const;
    // Bits on the wire per byte: a start bit, the data bits, the parity bit if any, the stops.
    int bitsPerByte() const { return 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits; }
};

inline constexpr LineSettings kSettings9600{9600, 'n', 8, 1};    // connect; speed option 0
inline constexpr LineSettings kSettings38400{38400, 'n', 8, 1};  // every frame; option 1
inline constexpr LineSettings kSettings4800{4800, 'n', 8, 1};    // opening speed; option 2

}  // namespace quorvel

#pragma once
// A firmware file that fills the whole image: 8192 S2 records of 16 bytes (about 370 KB).

#include <string>

namespace quorvel::bench {

inline std::string fullImageText() {
    static const char* hex = "0123456789ABCDEF";
    std::string text;
    text.reserve(8192 * 46);
    uint32_t state = 12345;
    for (uint32_t address = 0x4000; address <= 0x23FF0; address += 16) {
        unsigned sum = 20 + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
        std::string line = "S214";
        for (int shift = 16; shift >= 0; shift -= 8) {
            line += hex[(address >> (shift + 4)) & 0xF];
            line += hex[(address >> shift) & 0xF];
        }
        for (int i = 0; i < 16; ++i) {
            state = state * 1103515245u + 12345u;
            const unsigned b = (state >> 16) & 0xFF;
            sum += b;
            line += hex[b >> 4];
            line += hex[b & 0xF];
        }
        const unsigned check = 0xFF - (sum & 0xFF);
        line += hex[check >> 4];
        line += hex[check & 0xF];
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace quorvel::bench

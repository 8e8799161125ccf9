#pragma once
// Lenient hexadecimal reading used by the readers and the range checksum: the value of the
// leading hex digits, blanks and tabs skipped, stopping at the first other character; no digit
// reads as 0.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

// Value of one hex digit, or -1 for any other character.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Table form of hexDigitValue for the hot loops of the readers: 0 to 15, or 0xFF for a non-digit.
struct HexDigitTable {
    unsigned char value[256];
    constexpr HexDigitTable() : value{} {
        for (int c = 0; c < 256; ++c) {
            const int d = hexDigitValue(static_cast<char>(c));
            value[c] = d < 0 ? 0xFF : static_cast<unsigned char>(d);
        }
    }
};
inline constexpr HexDigitTable kHexDigits{};

struct HexReading {
    uint64_t value = 0;
    int digits = 0;  // how many hex digits took part
};

// Reads the whole text (or field) leniently. Digits beyond 16 keep counting but the value
// saturates, so callers can tell an over-long text by `digits`.
HexReading readHexLenient(std::string_view text);

// A field of a record: positions are 1-based; characters past the end of the line are absent.
uint32_t readHexField(std::string_view line, size_t position, size_t length);

// A one-character field read as a decimal digit: its value for 0 to 9, else 0.
int readDecimalDigit(std::string_view line, size_t position);

// Bytes as upper-case hexadecimal pairs separated by blanks ("51 5A 7E"), as transcripts and
// diagnoses show them.
std::string hexBytes(std::span<const uint8_t> bytes);

}  // namespace quorvel

#pragma once
// Helpers shared by the reader tests: bytes expected at addresses after one line.

#include <cstdint>
#include <string>
#include <vector>

#include "memory_image.h"

namespace quorvel::test {

struct Expect {
    uint32_t address;
    std::vector<int> bytes;  // expected values from address on
};

inline MemoryImage clearedImage() {
    MemoryImage image;
    image.ClearImage();
    return image;
}

// Rows flagged in the image, ascending.
inline std::vector<int> flaggedRows(const MemoryImage& image) {
    std::vector<int> rows;
    for (int r = kFirstRow; r <= kLastRow; ++r) {
        if (image.rowFlagged(r)) rows.push_back(r);
    }
    return rows;
}

inline std::vector<int> bytesAt(const MemoryImage& image, uint32_t address, size_t n) {
    std::vector<int> out;
    for (size_t i = 0; i < n; ++i) out.push_back(image.byteAt(address + static_cast<uint32_t>(i)));
    return out;
}

inline std::string sRecord(int type, uint32_t address, const std::vector<int>& data) {
    const int addressBytes = type + 1;
    std::vector<int> body{addressBytes + static_cast<int>(data.size()) + 1};
    for (int i = addressBytes - 1; i >= 0; --i)
        body.push_back(static_cast<int>((address >> (8 * i)) & 0xFF));
    body.insert(body.end(), data.begin(), data.end());
    int sum = 0;
    for (int b : body) sum += b;
    body.push_back(0xFF - (sum & 0xFF));
    static const char* hex = "0123456789ABCDEF";
    std::string line = "S" + std::to_string(type);
    for (int b : body) {
        line += hex[(b >> 4) & 0xF];
        line += hex[b & 0xF];
    }
    return line;
}

inline std::string hexRecord(int type, uint16_t address, const std::vector<int>& data) {
    std::vector<int> body{static_cast<int>(data.size()), address >> 8, address & 0xFF, type};
    body.insert(body.end(), data.begin(), data.end());
    int sum = 0;
    for (int b : body) sum += b;
    body.push_back((0x100 - (sum & 0xFF)) & 0xFF);
    static const char* hex = "0123456789ABCDEF";
    std::string line = ":";
    for (int b : body) {
        line += hex[(b >> 4) & 0xF];
        line += hex[b & 0xF];
    }
    return line;
}

inline std::vector<int> repeat(int value, size_t n) {
    return std::vector<int>(n, value);
}
inline std::vector<int> counting(int first, size_t n) {
    std::vector<int> v;
    for (size_t i = 0; i < n; ++i) v.push_back((first + static_cast<int>(i)) & 0xFF);
    return v;
}

}  // namespace quorvel::test

#include "line_records.h"

namespace quorvel::line {
namespace {

void setFour(Buffer line, uint8_t a, uint8_t b) {
    line[0] = a;
    line[1] = b;
    line[2] = '\r';
    line[3] = '\n';
}

}  // namespace

void BuildEraseFrame(Buffer line) {
    setFour(line, 0x01, 0x01);
}

void BuildEndFrame(Buffer line) {
    setFour(line, 0x00, 0x00);
}

bool BuildRowFrame(const MemoryImage& image, int row, Buffer line) {
    if (!MemoryImage::rowInImage(row) || row > kLastRecordRow) return false;
    line[0] = static_cast<uint8_t>(row / 16);
    line[1] = static_cast<uint8_t>((row % 16) * 16);
    for (int column = 0; column < kRowBytes; ++column) {
        line[2 + static_cast<size_t>(column)] = static_cast<uint8_t>(image.value(row, column));
    }
    return true;
}

void SetLineOK(Buffer line) {
    setFour(line, 'O', 'K');
}

void SetLineNG(Buffer line) {
    setFour(line, 'N', 'G');
}

int16_t CompareReply(std::span<const uint8_t, kSize> line, std::span<const uint8_t> received,
                     int16_t index) {
    if (index < 0 || static_cast<size_t>(index) + kRecordLength > received.size()) return -1;
    for (size_t i = 0; i < kRecordLength; ++i) {
        if (line[i] != received[static_cast<size_t>(index) + i]) return 0;
    }
    return 1;
}

}  // namespace quorvel::line

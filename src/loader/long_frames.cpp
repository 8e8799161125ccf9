#include "long_frames.h"

#include <algorithm>
#include <array>

#include "block_walk.h"

namespace quorvel::frame {
namespace {

constexpr size_t kPayload = 4;        // first byte after the command letters
constexpr size_t kCheck = kSize - 1;  // index of the check byte

void startFrame(Buffer frame, uint8_t first, uint8_t second) {
    frame[0] = 0xFF;
    frame[1] = 0xFE;
    frame[2] = first;
    frame[3] = second;
    std::fill(frame.begin() + kPayload, frame.end(), uint8_t{0xFF});
}

// The six areas the erase frame names, as 3-byte addresses.
constexpr std::array<uint8_t, 18> kEraseAreas = {
    0x01, 0xC0, 0x00, 0x00, 0xC0, 0x00, 0x01, 0x00, 0x00,
    0x01, 0x20, 0x00, 0x01, 0x40, 0x00, 0x00, 0x40, 0x00,
};

}  // namespace

uint8_t CheckByte(std::span<const uint8_t, kSize> frame) {
    uint32_t sum = 0;
    for (size_t i = 2; i < kCheck; ++i) sum += frame[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

void BuildEraseFrame(Buffer frame) {
    startFrame(frame, 'B', 'E');
    std::copy(kEraseAreas.begin(), kEraseAreas.end(), frame.begin() + kPayload);
    frame[kCheck] = CheckByte(frame);
}

void BuildEndFrame(Buffer frame) {
    startFrame(frame, 'E', 'D');
    frame[kCheck] = CheckByte(frame);
}

void BuildProgramFrame(const MemoryImage& image, int startRow, Buffer frame) {
    startFrame(frame, 'P', 'G');
    const uint32_t address = static_cast<uint32_t>(startRow) * kRowBytes;
    frame[4] = static_cast<uint8_t>(address >> 16);
    frame[5] = static_cast<uint8_t>(address >> 8);
    frame[6] = static_cast<uint8_t>(address);
    size_t at = 7;
    for (int row = startRow; row < startRow + kBlockRows; ++row) {
        for (int column = 0; column < kRowBytes; ++column) {
            frame[at++] = static_cast<uint8_t>(image.value(row, column));
        }
    }
    frame[kCheck] = CheckByte(frame);
}

}  // namespace quorvel::frame

#pragma once
// The short line records of the line channel, built in the 132-byte line buffer: the command
// lines "ERASE" and "END", the 18-byte row record, and the "OK" / "NG" acknowledgements.
// Plain functions on the line buffer, no port involved.

#include <cstddef>
#include <cstdint>
#include <span>

#include "memory_image.h"

namespace quorvel::line {

constexpr size_t kSize = 132;
using Buffer = std::span<uint8_t, kSize>;

constexpr size_t kCommandLength = 4;  // command lines and acknowledgements
constexpr size_t kRecordLength = 20;  // the row record and the two entries checked with it
constexpr int kLastRecordRow = 4095;  // the record's two address bytes end at 0xFFFF

// "ERASE": 01 01 CR LF in entries 0 to 3; the other entries keep their values.
void BuildEraseFrame(Buffer line);
// "END": 00 00 CR LF in entries 0 to 3.
void BuildEndFrame(Buffer line);

// The row's address (row / 16, (row mod 16) * 16) and its 16 bytes in entries 0 to 17.
// False, with the buffer untouched, for a row whose address does not fit in two bytes.
bool BuildRowFrame(const MemoryImage& image, int row, Buffer line);

// "OK" CR LF / "NG" CR LF in entries 0 to 3.
void SetLineOK(Buffer line);
void SetLineNG(Buffer line);

// 1 when entries 0 to 19 equal the 20 received bytes from `index` on, 0 at the first
// difference, -1 when fewer bytes were received than that needs.
int16_t CompareReply(std::span<const uint8_t, kSize> line, std::span<const uint8_t> received,
                     int16_t index);

}  // namespace quorvel::line

#pragma once
// The 1032-byte frames of the flash loader: 0xFF 0xFE, two command letters, 1027 payload
// bytes and a check byte, the low 8 bits of the sum of bytes 2 to 1030. Addresses travel most
// significant byte first. Plain functions on the frame buffer, no port involved.

#include <cstddef>
#include <cstdint>
#include <span>

#include "memory_image.h"

namespace quorvel::frame {

constexpr size_t kSize = 1032;
using Buffer = std::span<uint8_t, kSize>;

// The check byte of a frame whose bytes 2 to 1030 are filled.
uint8_t CheckByte(std::span<const uint8_t, kSize> frame);

// "B" "E": erase the six flash areas that the firmware occupies. Check byte 0xBA.
void BuildEraseFrame(Buffer frame);

// "E" "D": leave the loader. Check byte 0x86.
void BuildEndFrame(Buffer frame);

// "P" "G": the 64 rows from `startRow` (a multiple of 64 inside the image) with their address.
void BuildProgramFrame(const MemoryImage& image, int startRow, Buffer frame);

}  // namespace quorvel::frame

#pragma once
// How a firmware file is identified: the SHA-256 of its bytes, as lower-case hexadecimal. The
// record and the JSON carry it whole; the operator's texts show its first 12 digits beside the
// CHECK SUM, which alone cannot tell two images apart (a sum stays the same when bytes move).

#include <string>
#include <string_view>

#include "memory_image.h"

namespace quorvel {

std::string sha256Hex(std::string_view bytes);

// How many of its digits the operator's texts show: 48 bits, which two images of a line never
// share by chance.
inline constexpr size_t kShownDigits = 12;

// "CHECK SUM C000-FFFF: 3FC000  SHA-256 5f1c0a9d7e3b", without the hash's part when none is
// known (the file could not be read again).
std::string CheckSumLine(const MemoryImage& image, const std::string& sha256);

}  // namespace quorvel

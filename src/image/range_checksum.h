#pragma once
// Sum of the image bytes over an address range typed as hexadecimal text.

#include <cstdint>
#include <string>
#include <string_view>

#include "memory_image.h"

namespace quorvel {

struct ChecksumResult {
    bool ok = false;
    uint32_t sum = 0;
    std::string text;   // sum in upper-case hex, no leading zeros ("0" for nothing)
    std::string error;  // why the range was refused, in the tool's words
};

inline constexpr std::string_view kRangeOutsideImage = "The range must lie within 4000 to 23FFF.";

// Start and stop are read leniently (blanks skipped, the leading hex digits, none reads as 0).
// A stop below the start sums nothing. A range that reaches outside the image, or a value that
// does not fit 32 bits, is refused with an error instead of reading outside the image; leading
// zeros are allowed ("000004000" is 4000).
ChecksumResult RangeChecksum(const MemoryImage& image, std::string_view startText,
                             std::string_view stopText);

std::string toUpperHex(uint32_t value);

}  // namespace quorvel

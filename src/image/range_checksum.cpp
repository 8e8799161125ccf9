#include "range_checksum.h"

#include <cstdio>

#include "hex_text.h"

namespace quorvel {
namespace {

// Start and stop are 32-bit values; anything larger is no address at all.
constexpr uint64_t kLargestAddressValue = 0xFFFFFFFF;

}  // namespace

std::string toUpperHex(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%X", unsigned(value));
    return text;
}

ChecksumResult RangeChecksum(const MemoryImage& image, std::string_view startText,
                             std::string_view stopText) {
    ChecksumResult result;
    const HexReading start = readHexLenient(startText);
    const HexReading stop = readHexLenient(stopText);
    // Judged by value, so that leading zeros do no harm; readHexLenient saturates, so a text
    // too long for any address still reads above the limit.
    if (start.value > kLargestAddressValue || stop.value > kLargestAddressValue) {
        result.error = std::string(kRangeOutsideImage);
        return result;
    }
    if (stop.value >= start.value) {
        if (start.value < kImageFirstAddress || stop.value > kImageLastAddress) {
            result.error = std::string(kRangeOutsideImage);
            return result;
        }
        for (uint64_t a = start.value; a <= stop.value; ++a) {
            result.sum += image.byteAt(static_cast<uint32_t>(a));
        }
    }
    result.ok = true;
    result.text = toUpperHex(result.sum);
    return result;
}

}  // namespace quorvel

// Motorola S-record reader. A data record is taken only when it is whole: every character
// from the byte count through the checksum a hex digit, the line as long as its count says,
// and the checksum right. Anything less would put corrupted bytes into a device.

#include "hex_text.h"
#include "line_reader.h"

namespace quorvel {
namespace {

int strictPair(std::string_view line, size_t index) {
    int hi = hexDigitValue(line[index]);
    int lo = hexDigitValue(line[index + 1]);
    if (hi < 0 || lo < 0) return -1;
    return hi * 16 + lo;
}

LineOutcome reject(MemoryImage& image, int16_t code) {
    image.intErrCode = code;
    return LineOutcome::Rejected;
}

}  // namespace

LineOutcome ReadMotLine(MemoryImage& image, std::string_view line) {
    image.intErrCode = 0;
    if (line.empty() || line[0] != 'S') return reject(image, kCodeNoStartMark);

    const int type = readDecimalDigit(line, 2);
    if (type == 0 || type > 3) return LineOutcome::Accepted;  // header, counts, start addresses

    const size_t addressBytes = static_cast<size_t>(type) + 1;  // S1: 2, S2: 3, S3: 4
    if (line.size() < 4) return reject(image, kCodeBadLength);
    const int count = strictPair(line, 2);
    if (count < 0 || static_cast<size_t>(count) < addressBytes + 1) {
        return reject(image, kCodeBadLength);
    }
    // Count byte plus `count` bytes (address, data, checksum), two characters each, after "Sn".
    const size_t needed = 2 + 2 * (static_cast<size_t>(count) + 1);
    if (line.size() < needed) return reject(image, kCodeBadLength);

    unsigned sum = static_cast<unsigned>(count);
    uint32_t address = 0;
    for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
        const int b = strictPair(line, 4 + 2 * i);
        if (b < 0) return reject(image, kCodeBadLength);
        sum += static_cast<unsigned>(b);
        if (i < addressBytes) address = (address << 8) | static_cast<uint32_t>(b);
    }
    if ((sum & 0xFF) != 0xFF) return reject(image, kCodeChecksum);

    const size_t dataBytes = static_cast<size_t>(count) - addressBytes - 1;
    if (dataBytes == 0) return LineOutcome::Accepted;
    const uint64_t last = static_cast<uint64_t>(address) + dataBytes - 1;
    if (address < kImageFirstAddress || last > kImageLastAddress) return LineOutcome::OutsideImage;

    size_t pos = 4 + 2 * addressBytes;
    for (size_t i = 0; i < dataBytes; ++i, pos += 2) {
        const int b = strictPair(line, pos);
        const uint32_t a = address + static_cast<uint32_t>(i);
        const int row = static_cast<int>(a / kRowBytes);
        if (b < 0xFF) image.flagRow(row);
        image.setValue(row, static_cast<int>(a % kRowBytes), static_cast<int16_t>(b));
    }
    return LineOutcome::Accepted;
}

}  // namespace quorvel

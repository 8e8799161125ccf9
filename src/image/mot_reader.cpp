// Motorola S-record reader. A data record is taken only when it is whole: every character
// from the byte count through the checksum a hex digit, the line as long as its count says,
// and the checksum right. Anything less would put corrupted bytes into a device.

#include "hex_text.h"
#include "line_reader.h"

namespace quorvel {
namespace {

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
    const auto* chars = reinterpret_cast<const unsigned char*>(line.data());
    const unsigned countHi = kHexDigits.value[chars[2]];
    const unsigned countLo = kHexDigits.value[chars[3]];
    if ((countHi | countLo) > 0xF) return reject(image, kCodeBadLength);
    const size_t count = countHi * 16 + countLo;
    if (count < addressBytes + 1) return reject(image, kCodeBadLength);
    // Count byte plus `count` bytes (address, data, checksum), two characters each, after "Sn".
    if (line.size() < 2 + 2 * (count + 1)) return reject(image, kCodeBadLength);

    // Decode the address, data and checksum bytes once, checking every digit on the way.
    unsigned char bytes[255];
    unsigned sum = static_cast<unsigned>(count);
    unsigned bad = 0;
    const unsigned char* p = chars + 4;
    for (size_t i = 0; i < count; ++i, p += 2) {
        const unsigned hi = kHexDigits.value[p[0]];
        const unsigned lo = kHexDigits.value[p[1]];
        bad |= hi | lo;
        const unsigned b = (hi << 4) | (lo & 0xF);
        bytes[i] = static_cast<unsigned char>(b);
        sum += b;
    }
    if (bad > 0xF) return reject(image, kCodeBadLength);
    if ((sum & 0xFF) != 0xFF) return reject(image, kCodeChecksum);

    uint32_t address = 0;
    for (size_t i = 0; i < addressBytes; ++i) address = (address << 8) | bytes[i];
    const size_t dataBytes = count - addressBytes - 1;
    if (dataBytes == 0) return LineOutcome::Accepted;
    const uint64_t last = static_cast<uint64_t>(address) + dataBytes - 1;
    if (address < kImageFirstAddress || last > kImageLastAddress) return LineOutcome::OutsideImage;

    const unsigned char* data = bytes + addressBytes;
    int16_t* memory = image.intMemory.data() + (address - kImageFirstAddress);
    int row = static_cast<int>(address / kRowBytes);
    size_t column = address % kRowBytes;
    bool rowHasData = false;
    for (size_t i = 0; i < dataBytes; ++i) {
        memory[i] = data[i];
        rowHasData |= data[i] != 0xFF;
        if (++column == kRowBytes || i + 1 == dataBytes) {
            if (rowHasData) image.flagRow(row);
            rowHasData = false;
            column = 0;
            ++row;
        }
    }
    return LineOutcome::Accepted;
}

}  // namespace quorvel

// Motorola S-record reader. A data record is taken only when it is whole: every character
// from the byte count through the checksum a hex digit, the line as long as its count says,
// and the checksum right. Anything less would put corrupted bytes into a device. A count
// record (S5, S6) is held to the same and must agree with the data records before it.

#include "hex_text.h"
#include "line_reader.h"

namespace quorvel {
namespace {

// Decodes a whole record: the byte count and the `count` bytes it covers (the address or count
// field, the data, the checksum), every one of them two hex digits, the line as long as the
// count says and the checksum right. 0, or the code that refuses the line.
int16_t decodeRecord(std::string_view line, size_t fieldBytes, unsigned char (&bytes)[255],
                     size_t& count) {
    if (line.size() < 4) return kCodeBadLength;
    const auto* chars = reinterpret_cast<const unsigned char*>(line.data());
    const unsigned countHi = kHexDigits.value[chars[2]];
    const unsigned countLo = kHexDigits.value[chars[3]];
    if ((countHi | countLo) > 0xF) return kCodeBadLength;
    count = countHi * 16 + countLo;
    if (count < fieldBytes + 1) return kCodeBadLength;
    // Count byte plus `count` bytes (address, data, checksum), two characters each, after "Sn".
    if (line.size() < 2 + 2 * (count + 1)) return kCodeBadLength;

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
    if (bad > 0xF) return kCodeBadLength;
    if ((sum & 0xFF) != 0xFF) return kCodeChecksum;
    return 0;
}

// The field's bytes as one number, most significant first.
uint32_t fieldValue(const unsigned char* bytes, size_t fieldBytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < fieldBytes; ++i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

LineOutcome ReadMotLine(MemoryImage& image, std::string_view line, FileTally& tally) {
    image.intErrCode = 0;
    if (line.empty() || line[0] != 'S') return rejectLine(image, kCodeNoStartMark);

    const int type = readDecimalDigit(line, 2);
    if (type >= 7) {
        // S7, S8, S9 close the data with the start address; a file cut short has none.
        tally.endRecord = true;
        return LineOutcome::Accepted;
    }
    unsigned char bytes[255];
    size_t count = 0;
    if (type == 5 || type == 6) {
        // The number of S1, S2 and S3 records written before it: 16 bits in S5, 24 in S6. A
        // file that lost records in between no longer adds up to it.
        const size_t countBytes = type == 5 ? 2 : 3;
        if (const int16_t code = decodeRecord(line, countBytes, bytes, count)) {
            return rejectLine(image, code);
        }
        const uint32_t says = fieldValue(bytes, countBytes);
        if (says == tally.dataRecords) {
            tally.countAgrees = true;
            return LineOutcome::Accepted;
        }
        tally.countRecordSays = says;
        return rejectLine(image, kCodeCountDisagrees);
    }
    if (type == 0 || type > 3) return LineOutcome::Accepted;  // header, S4, not a digit

    const size_t addressBytes = static_cast<size_t>(type) + 1;  // S1: 2, S2: 3, S3: 4
    if (const int16_t code = decodeRecord(line, addressBytes, bytes, count)) {
        return rejectLine(image, code);
    }
    ++tally.dataRecords;
    tally.countAgrees = false;

    const uint32_t address = fieldValue(bytes, addressBytes);
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

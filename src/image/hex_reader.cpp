// Intel HEX reader. It knows 16-bit addresses only, so data reaches the image from 0x4000
// to 0xFFFF (running over into 0x10000 at most). Every check runs before anything is stored.

#include "hex_text.h"
#include "line_reader.h"

namespace quorvel {
namespace {

constexpr std::string_view kEndRecord = ":00000001FF";
constexpr size_t kShortestDataRecord = 13;

// Two-character field at 0-based index, read leniently (blanks skipped, stop at others).
int lenientPair(std::string_view line, size_t index) {
    return static_cast<int>(readHexField(line, index + 1, 2));
}

}  // namespace

LineOutcome ReadHexLine(MemoryImage& image, std::string_view line, FileTally& tally) {
    image.intErrCode = 0;
    if (line.empty() || line[0] != ':') return rejectLine(image, kCodeNoStartMark);

    const size_t n = line.size();
    if (n < kShortestDataRecord) {
        if (line != kEndRecord) return rejectLine(image, kCodeShortRecord);
        tally.endRecord = true;  // a file cut short has none
        return LineOutcome::Accepted;
    }
    const size_t count = static_cast<size_t>(lenientPair(line, 1));
    if (count > 16) return rejectLine(image, kCodeCountTooLarge);
    if (n != 2 * count + 11) return rejectLine(image, kCodeBadLength);
    if (line[7] != '0') return rejectLine(image, kCodeBadType);

    const int type = readDecimalDigit(line, 9);
    if (type == 2) {
        // Extended segment address: only a zero segment leaves later data where it belongs.
        for (size_t i = 0; i < count; ++i) {
            if (lenientPair(line, 9 + 2 * i) != 0) return rejectLine(image, kCodeUnsupportedType);
        }
        return LineOutcome::Accepted;
    }
    if (type == 1) tally.endRecord = true;
    if (type == 1 || type == 3) return LineOutcome::Accepted;
    if (type >= 4) return rejectLine(image, kCodeUnsupportedType);

    const int row = static_cast<int>(readHexField(line, 4, 3));
    if (!MemoryImage::rowInImage(row)) return rejectLine(image, kCodeBelowImage);
    int column = static_cast<int>(readHexField(line, 7, 1));

    unsigned sum = 0;
    for (size_t pos = 1; pos + 1 < n; pos += 2) {
        sum += static_cast<unsigned>(lenientPair(line, pos));
    }
    if ((sum & 0xFF) != 0) return rejectLine(image, kCodeChecksum);

    int currentRow = row;
    for (size_t i = 0; i < count; ++i) {
        const int b = lenientPair(line, 9 + 2 * i);
        if (b < 0xFF) image.flagRow(currentRow);
        image.setValue(currentRow, column, static_cast<int16_t>(b));
        if (++column == kRowBytes) {
            column = 0;
            ++currentRow;
        }
    }
    return LineOutcome::Accepted;
}

}  // namespace quorvel

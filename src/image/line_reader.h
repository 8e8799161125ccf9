#pragma once
// One firmware-file line in, bytes into the image out. Both file formats sit behind this
// signature; the load sequence picks one reader per file.

#include <cstdint>
#include <string_view>

#include "memory_image.h"

namespace quorvel {

enum class LineOutcome {
    Accepted,      // stored or ignored; intErrCode is 0
    Rejected,      // intErrCode holds the reason, nothing was stored
    OutsideImage,  // a data byte addresses memory outside 0x4000..0x23FFF; nothing was stored
};

// What the lines of one file have shown so far, kept by the load sequence from the first line
// to the last for the checks that no single line can make: whether the file ends as it should,
// and whether a count record agrees with the data records before it.
struct FileTally {
    uint32_t dataRecords = 0;      // S1, S2 and S3 records read so far
    bool endRecord = false;        // an S7, S8 or S9 record, or the Intel HEX type 01, was read
    uint32_t countRecordSays = 0;  // the count of the count record that disagreed
    // The last count record (S5, S6) agreed with every data record, and no data record came
    // after it: the file is whole up to there, as an end record would show.
    bool countAgrees = false;
};

using LineReader = LineOutcome (*)(MemoryImage& image, std::string_view line, FileTally& tally);

// Reader codes left in intErrCode.
enum ReaderCode : int16_t {
    kCodeShortRecord = 1,
    kCodeCountTooLarge = 2,
    kCodeBadLength = 3,
    kCodeBadType = 4,
    kCodeBelowImage = 5,
    kCodeChecksum = 8,
    kCodeNoStartMark = 9,
    kCodeUnsupportedType = 10,
    kCodeCountDisagrees = 11,  // an S5 or S6 count that is not the number of data records before it
};

// Refuses the line with `code`, left in intErrCode.
inline LineOutcome rejectLine(MemoryImage& image, int16_t code) {
    image.intErrCode = code;
    return LineOutcome::Rejected;
}

// Motorola S-record: S1/S2/S3 data; S5 and S6 counts checked against the data records so far;
// S7, S8 and S9 noted as the end; S0 and anything else ignored.
LineOutcome ReadMotLine(MemoryImage& image, std::string_view line, FileTally& tally);

// Intel HEX with 16-bit addresses (types 00, 01, 03; 02 only with segment 0000); type 01 noted
// as the end.
LineOutcome ReadHexLine(MemoryImage& image, std::string_view line, FileTally& tally);

}  // namespace quorvel

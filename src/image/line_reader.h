#pragma once
// One firmware-file line in, bytes into the image out. Both file formats sit behind this
// signature; the load sequence picks one reader per file.

#include <string_view>

#include "memory_image.h"

namespace quorvel {

enum class LineOutcome {
    Accepted,      // stored or ignored; intErrCode is 0
    Rejected,      // intErrCode holds the reason, nothing was stored
    OutsideImage,  // a data byte addresses memory outside 0x4000..0x23FFF; nothing was stored
};

using LineReader = LineOutcome (*)(MemoryImage& image, std::string_view line);

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
};

// Motorola S-record (S1/S2/S3 data; S0, S5, S7, S8, S9 ignored).
LineOutcome ReadMotLine(MemoryImage& image, std::string_view line);

// Intel HEX with 16-bit addresses (types 00, 01, 03; 02 only with segment 0000).
LineOutcome ReadHexLine(MemoryImage& image, std::string_view line);

}  // namespace quorvel

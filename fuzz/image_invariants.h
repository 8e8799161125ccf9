#pragma once
// Checks that must hold for any image a reader leaves behind; a broken one aborts the fuzzer.

#include <cstdlib>

#include "memory_image.h"

namespace quorvel::fuzz {

inline void require(bool condition) {
    if (!condition) std::abort();
}

// Every byte is 0..255, and a row holding a byte other than FF is flagged (after a clear, only a
// reader puts such a byte there, and it flags the row when it does).
inline void checkLoadedImage(const MemoryImage& image) {
    for (int row = kFirstRow; row <= kLastRow; ++row) {
        bool nonFF = false;
        for (int column = 0; column < kRowBytes; ++column) {
            const int16_t v = image.value(row, column);
            require(v >= 0 && v <= 255);
            nonFF |= v != 0xFF;
        }
        require(!nonFF || image.rowFlagged(row));
        const int16_t flag = image.blnRowData[static_cast<size_t>(row - kFirstRow)];
        require(flag == kFlagTrue || flag == kFlagFalse);
    }
}

}  // namespace quorvel::fuzz

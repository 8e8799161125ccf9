#include "block_walk.h"

namespace quorvel {

std::vector<int> programBlockStarts() {
    std::vector<int> starts;
    starts.reserve(kBlockPositions);
    for (int row = kFirstRow; row <= kLastBlockRow; row += kBlockRows) {
        if (row == kGapFirstRow) row = kGapEndRow;
        starts.push_back(row);
    }
    return starts;
}

bool blockHasData(const MemoryImage& image, int startRow) {
    for (int row = startRow; row < startRow + kBlockRows; ++row) {
        if (image.rowFlagged(row)) return true;
    }
    return false;
}

int countBlocksToSend(const MemoryImage& image) {
    return countBlocksBefore(image, kLastRow + 1);
}

int countRowsToSend(const MemoryImage& image) {
    int count = 0;
    for (int row = kFirstRow; row <= kLastRow; ++row) count += image.rowFlagged(row);
    return count;
}

int countBlocksBefore(const MemoryImage& image, int row) {
    int count = 0;
    for (int start : programBlockStarts()) count += start < row && blockHasData(image, start);
    return count;
}

bool gapHoldsData(const MemoryImage& image) {
    for (int row = kGapFirstRow; row < kGapEndRow; ++row) {
        if (image.rowFlagged(row)) return true;
    }
    return false;
}

bool HasDataToWrite(const MemoryImage& image, WriteWalk walk) {
    // The row walk also takes rows at and above 0x10000 as data to send: it stops with a
    // failure there, which is reported as such, never as an empty success.
    if (walk == WriteWalk::Rows) return image.anyRowFlagged();
    return countBlocksToSend(image) > 0;
}

}  // namespace quorvel

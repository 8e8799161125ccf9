#include "memory_image.h"

#include <algorithm>

namespace quorvel {

MemoryImage::MemoryImage()
    : intMemory(static_cast<size_t>(kRowCount) * kRowBytes, 0), blnRowData(kRowCount, kFlagFalse) {}

void MemoryImage::ClearImage() {
    std::fill(intMemory.begin(), intMemory.end(), int16_t{0xFF});
    std::fill(blnRowData.begin(), blnRowData.end(), kFlagFalse);
}

bool MemoryImage::anyRowFlagged() const {
    return std::any_of(blnRowData.begin(), blnRowData.end(),
                       [](int16_t f) { return f == kFlagTrue; });
}

}  // namespace quorvel

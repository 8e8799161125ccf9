#pragma once
// The firmware image: 8192 rows of 16 bytes covering addresses 0x4000 to 0x23FFF,
// one "loaded" flag per row, and the status word of the line last read.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

constexpr int kFirstRow = 1024;  // row of address 0x4000
constexpr int kLastRow = 9215;   // row of address 0x23FF0
constexpr int kRowCount = kLastRow - kFirstRow + 1;
constexpr int kRowBytes = 16;
constexpr uint32_t kImageFirstAddress = 0x4000;
constexpr uint32_t kImageLastAddress = 0x23FFF;
constexpr uint32_t kImageSize = kImageLastAddress - kImageFirstAddress + 1;  // 128 KiB

constexpr int16_t kFlagTrue = -1;  // row flags keep the loader's boolean convention
constexpr int16_t kFlagFalse = 0;

class MemoryImage {
  public:
    // A new image is all 0 with every flag false: the state before any file was read.
    MemoryImage();

    // Every byte FF, every flag false.
    void ClearImage();

    static bool rowInImage(long row) { return row >= kFirstRow && row <= kLastRow; }

    int16_t value(int row, int column) const {
        return intMemory[static_cast<size_t>(row - kFirstRow) * kRowBytes + column];
    }
    void setValue(int row, int column, int16_t v) {
        intMemory[static_cast<size_t>(row - kFirstRow) * kRowBytes + column] = v;
    }
    bool rowFlagged(int row) const {
        return blnRowData[static_cast<size_t>(row - kFirstRow)] == kFlagTrue;
    }
    void flagRow(int row) { blnRowData[static_cast<size_t>(row - kFirstRow)] = kFlagTrue; }

    // The byte at an address inside the image (0x4000 to 0x23FFF).
    uint8_t byteAt(uint32_t address) const {
        return static_cast<uint8_t>(intMemory[address - kImageFirstAddress]);
    }

    bool anyRowFlagged() const;
    bool operator==(const MemoryImage& other) const = default;

    // Row-major storage: element (row, column) sits at (row - 1024) * 16 + column.
    std::vector<int16_t> intMemory;
    std::vector<int16_t> blnRowData;
    int16_t intErrCode = 0;
};

}  // namespace quorvel

#pragma once
// The order in which the programming step visits the image: 64-row (1 KiB) blocks from row
// 1024 up to row 9152, leaving out rows 3584 to 4095 (0xE000 to 0xFFFF), which the device
// never takes from this tool.

#include <vector>

#include "memory_image.h"

namespace quorvel {

constexpr int kBlockRows = 64;
constexpr int kLastBlockRow = 9152;
constexpr int kGapFirstRow = 3584;  // address 0xE000
constexpr int kGapEndRow = 4096;    // address 0x10000
constexpr int kBlockPositions = 120;

// The start rows of all 120 block positions, ascending.
std::vector<int> programBlockStarts();

// True when any of the 64 rows from startRow is flagged.
bool blockHasData(const MemoryImage& image, int startRow);

// How many blocks the programming step will send for this image.
int countBlocksToSend(const MemoryImage& image);
// How many rows the row write sends for this image: every flagged one.
int countRowsToSend(const MemoryImage& image);
// How many blocks the programming step sends before the block that starts at `row`: the walk
// goes in ascending order, so a walk that ended on that block had the device take these.
int countBlocksBefore(const MemoryImage& image, int row);

// True when a row of 0xE000 to 0xFFFF holds data: the file asks for bytes there that no
// programming step will ever send.
bool gapHoldsData(const MemoryImage& image);

// How a write visits the image.
enum class WriteWalk {
    Blocks,  // 64-row blocks, leaving out 0xE000 to 0xFFFF (the programming step)
    Rows,    // every row from 0x4000 to 0x23FF0 with no gap (the row write)
};

// True when the walk finds at least one loaded row to send. A walk that finds none would
// report success while the device got nothing; every write asks here before it opens the port.
bool HasDataToWrite(const MemoryImage& image, WriteWalk walk);

}  // namespace quorvel

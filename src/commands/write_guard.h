#pragma once
// Whether a write has anything to send. A walk that finds no loaded row would report success
// while the device got nothing, and the one-button rewrite would erase the device and leave it
// empty; every write command asks here before it opens the port.

#include "command_context.h"

namespace quorvel {

// How a write visits the image.
enum class WriteWalk {
    Blocks,  // 64-row blocks, leaving out 0xE000 to 0xFFFF (the programming step)
    Rows,    // every row from 0x4000 to 0x23FF0 with no gap (the row write)
};

// True when the walk finds at least one loaded row to send.
bool HasDataToWrite(const MemoryImage& image, WriteWalk walk);

// False, after telling the operator that no image is loaded, when the walk has nothing to
// send; the caller then sends nothing at all.
bool ImageReadyToWrite(CommandContext& context, WriteWalk walk);

}  // namespace quorvel

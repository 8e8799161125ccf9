#pragma once
// The window's refusal of a write with nothing to send (the rule is HasDataToWrite in
// block_walk.h): the one-button rewrite would erase the device and leave it empty, and a
// bench write would report success with nothing sent.

#include "block_walk.h"
#include "command_context.h"

namespace quorvel {

// False, after telling the operator that no image is loaded, when the walk has nothing to
// send; the caller then sends nothing at all.
bool ImageReadyToWrite(CommandContext& context, WriteWalk walk);

}  // namespace quorvel

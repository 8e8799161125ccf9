#pragma once
// The window's checks before the flash is written: the refusal of a write with nothing to send
// (the rule is HasDataToWrite in block_walk.h), and the confirmation that the one-button
// rewrite and the Edit menu's write ask. Without the refusal the one-button rewrite would
// erase the device and leave it empty, and a bench write would report success with nothing
// sent.

#include "block_walk.h"
#include "command_context.h"
#include "result_box.h"

namespace quorvel {

// False, after telling the operator why the image holds nothing to send ("No firmware image
// is loaded." when none is, otherwise what is wrong with the loaded file), when the walk has
// nothing to send; the caller then sends nothing at all.
bool ImageReadyToWrite(CommandContext& context, WriteWalk walk);

// Tells the operator, right after a file loaded, that its image holds nothing the write sends.
void WarnNothingToWrite(CommandContext& context);

// The confirmation before the flash is written: the warning, then the port with the device
// behind it and the facts of the file (name, CHECK SUM C000-FFFF with the file's SHA-256,
// blocks to send), so that the technician sees which firmware goes where. A port with no device
// behind it is refused at once, before anything is sent, with the failure box of `refusal` and
// the port's words under its first line. True when the operator answered OK.
bool WriteConfirmed(CommandContext& context, const ResultWords& refusal);

}  // namespace quorvel

#include "write_guard.h"

#include "block_walk.h"

namespace quorvel {

bool HasDataToWrite(const MemoryImage& image, WriteWalk walk) {
    // The row walk also takes rows at and above 0x10000 as data to send: it stops with a
    // failure there, which is reported as such, never as an empty success.
    if (walk == WriteWalk::Rows) return image.anyRowFlagged();
    return countBlocksToSend(image) > 0;
}

bool ImageReadyToWrite(CommandContext& context, WriteWalk walk) {
    if (HasDataToWrite(context.image, walk)) return true;
    context.ask({"ERROR", "No firmware image is loaded.", PromptButtons::Ok,
                 PromptIcon::Exclamation, PromptAnswer::Ok});
    return false;
}

}  // namespace quorvel

#include "write_guard.h"

namespace quorvel {

bool ImageReadyToWrite(CommandContext& context, WriteWalk walk) {
    if (HasDataToWrite(context.image, walk)) return true;
    context.ask({"ERROR", "No firmware image is loaded.", PromptButtons::Ok,
                 PromptIcon::Exclamation, PromptAnswer::Ok});
    return false;
}

}  // namespace quorvel

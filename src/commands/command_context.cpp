#include "command_context.h"

namespace quorvel {

PromptAnswer CommandContext::ask(const PromptBox& box) {
    if (closing_) return PromptAnswer::Cancel;
    return prompt_.show(box);
}

void CommandContext::close() {
    closing_ = true;
    if (link.busy()) link.cancel();
}

void CommandContext::hold() {
    if (holds_++ == 0) panel.setExchangeLock(true);
}

void CommandContext::release() {
    if (--holds_ == 0) panel.setExchangeLock(false);
}

}  // namespace quorvel

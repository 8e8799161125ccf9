#include "command_context.h"

#include <filesystem>

namespace quorvel {

std::string CommandContext::imageFileName() const {
    return std::filesystem::path(imageFile).filename().string();
}

CommandContext::CommandContext(Exchanges& exchanges, MemoryImage& image, Prompt& prompt,
                               Panel& panel)
    : link(exchanges), image(image), panel(panel), prompt_(prompt) {
    link.stopWhen([this] { return closing_; });
}

PromptAnswer CommandContext::ask(const PromptBox& box) {
    if (closing_) return PromptAnswer::Cancel;
    return prompt_.show(box);
}

void CommandContext::close() {
    closing_ = true;
}

CommandContext::CloseAnswer CommandContext::requestClose() {
    if (closing_) return running() ? CloseAnswer::WhenIdle : CloseAnswer::Now;
    if (running()) {
        const PromptAnswer answer =
            prompt_.show({"Rewriting of software",
                          "A write is in progress. Closing now leaves the device erased and "
                          "partly written. Close anyway?",
                          PromptButtons::YesNo, PromptIcon::Exclamation, PromptAnswer::No});
        if (answer != PromptAnswer::Yes) return CloseAnswer::Stay;
    }
    close();
    // The exchange may have ended while the question was open.
    return running() ? CloseAnswer::WhenIdle : CloseAnswer::Now;
}

void CommandContext::hold() {
    if (holds_++ == 0) panel.setExchangeLock(true);
}

void CommandContext::release() {
    if (--holds_ == 0) panel.setExchangeLock(false);
}

}  // namespace quorvel

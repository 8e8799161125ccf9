#include "command_context.h"

#include <filesystem>

namespace quorvel {

std::string CommandContext::imageFileName() const {
    return std::filesystem::path(imageFacts.path).filename().string();
}

CommandContext::CommandContext(Exchanges& exchanges, MemoryImage& image, Prompt& prompt,
                               Panel& panel)
    : link(exchanges), image(image), panel(panel), prompt_(prompt) {
    link.stopWhen([this] { return closing_; });
}

CommandContext::~CommandContext() {
    withdrawCloseQuestion();
}

PromptAnswer CommandContext::ask(const PromptBox& box) {
    if (closing_) return PromptAnswer::Cancel;
    withdrawCloseQuestion();
    panel.setProgressText({});
    return prompt_.show(box);
}

void CommandContext::close() {
    closing_ = true;
}

bool CommandContext::requestClose(std::function<void()> closeWhenIdle) {
    if (!running()) {
        close();
        return true;
    }
    // Already stopping (the window closes once the command has ended), or already asking.
    if (closing_ || closeQuestionOpen_) return false;
    closeQuestionOpen_ = true;
    prompt_.open({"Rewriting of software",
                  "A write is in progress. Closing now leaves the device erased and partly "
                  "written. Close anyway?",
                  PromptButtons::YesNo, PromptIcon::Exclamation, PromptAnswer::No},
                 [this, closeWhenIdle = std::move(closeWhenIdle)](PromptAnswer answer) {
                     closeQuestionOpen_ = false;
                     if (answer != PromptAnswer::Yes) return;
                     close();
                     closeWhenIdle();
                 });
    return false;
}

void CommandContext::withdrawCloseQuestion() {
    if (!closeQuestionOpen_) return;
    closeQuestionOpen_ = false;
    prompt_.withdraw();
}

void CommandContext::hold() {
    if (holds_++ == 0) panel.setExchangeLock(true);
}

void CommandContext::release() {
    if (--holds_ != 0) return;
    // A command that ended without a box (the port panel's) leaves no question behind.
    withdrawCloseQuestion();
    panel.setExchangeLock(false);
}

}  // namespace quorvel

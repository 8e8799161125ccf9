#include "write_facts.h"

#include "time_text.h"

namespace quorvel {

WriteFacts::WriteFacts(const CommandContext& context)
    : file_(context.imageFacts.path.empty() ? std::string() : context.imageFileName()),
      port_(context.link.portDescription(context.settings())) {}

std::string WriteFacts::under(const std::string& boxText) const {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string text = boxText + "\r\n";
    if (!file_.empty()) text += "\r\nFile: " + file_;
    return text + "\r\nPort: " + port_ + "\r\nTime taken: " + secondsText(seconds);
}

}  // namespace quorvel

#include "result_box.h"

namespace quorvel {

PromptBox ResultBox(const ResultWords& words, bool accepted,
                    const std::vector<std::string>& lines) {
    if (!accepted) {
        return {words.failureTitle, BoxText(words.failureText, lines), PromptButtons::Ok,
                PromptIcon::Exclamation};
    }
    // A success with something in doubt keeps its text but never its calm icon.
    return {words.successTitle, BoxText(words.successText, lines), PromptButtons::Ok,
            lines.empty() ? words.successIcon : PromptIcon::Exclamation};
}

}  // namespace quorvel

#pragma once
// How the window shows the end of a step or of the rewrite, for every button and menu item that
// runs one: the step's own first line always, then, for a step the device took, what its answers
// left in doubt (with the warning icon in place of the usual one), or, for a step that failed,
// why. A refusal before anything is sent is shown as the step's failure.

#include <string>
#include <vector>

#include "prompt.h"

namespace quorvel {

// A command's two boxes: "OK" / "書込成功" with no icon and "NG" / "書込失敗" for a bench
// write; "Finished" / "Rewriting success!" with the information icon and "ERROR" / "Writing
// failure" for the rewrite.
struct ResultWords {
    std::string successTitle;
    std::string successText;
    PromptIcon successIcon = PromptIcon::None;
    std::string failureTitle;
    std::string failureText;
};

// `accepted`: the step (or every step) went through. `lines`: under the first line; for a
// success, what is in doubt (none: the plain success box), for a failure, why it failed.
PromptBox ResultBox(const ResultWords& words, bool accepted, const std::vector<std::string>& lines);

}  // namespace quorvel

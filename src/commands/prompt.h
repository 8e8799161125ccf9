#pragma once
// How a command asks or tells the operator something: one modal box with a title, a text,
// its buttons, an icon and the default button. The window shows it as a message box; tests
// answer from a script.

#include <string>
#include <vector>

namespace quorvel {

enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptIcon { None, Exclamation, Critical, Information };
enum class PromptAnswer { Ok, Cancel, Yes, No };

struct PromptBox {
    std::string title;
    std::string text;
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::None;
    PromptAnswer defaultButton = PromptAnswer::Ok;

    bool operator==(const PromptBox&) const = default;
};

// A box's text: its first line as the system has always shown it, then the further lines
// (the cause, what to do next), CR LF between them.
inline std::string BoxText(std::string first, const std::vector<std::string>& more) {
    for (const std::string& line : more) first += "\r\n" + line;
    return first;
}

class Prompt {
  public:
    virtual ~Prompt() = default;
    // Shows the box and waits for the operator. Escape and the close button answer Cancel
    // when the box has a Cancel button, No when it has a No button, OK otherwise.
    virtual PromptAnswer show(const PromptBox& box) = 0;
};

}  // namespace quorvel

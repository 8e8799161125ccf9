#pragma once
// How a command asks or tells the operator something: one modal box with a title, a text,
// its buttons, an icon and the default button. The window shows it as a message box; tests
// answer from a script.

#include <functional>
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

    // Asks without waiting: the box opens over the window and the call returns at once, so
    // that a reply wait in progress goes on while the operator reads it (a box that waited
    // here would hold the wait, and with it the write, until it was answered). `answered`
    // gets the answer later, on the window's thread; Escape and the close button answer as
    // for show(). One such question is open at a time: opening another withdraws the first.
    virtual void open(const PromptBox& box, std::function<void(PromptAnswer)> answered) = 0;
    // Takes the open question away unanswered: its `answered` is never called. Does nothing
    // when none is open.
    virtual void withdraw() = 0;
};

}  // namespace quorvel

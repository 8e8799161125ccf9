#pragma once
// The operator's boxes as modal message boxes over the window.

#include <QMessageBox>
#include <QPointer>

#include "prompt.h"

namespace quorvel {

// Title, text, buttons, icon and default button of the box. CR LF in a text is a line break.
void ConfigureMessageBox(QMessageBox& box, const PromptBox& prompt);

class MessageBoxPrompt : public Prompt {
  public:
    explicit MessageBoxPrompt(QWidget* parent) : parent_(parent) {}
    ~MessageBoxPrompt() override;
    MessageBoxPrompt(const MessageBoxPrompt&) = delete;
    MessageBoxPrompt& operator=(const MessageBoxPrompt&) = delete;

    PromptAnswer show(const PromptBox& box) override;
    // A box modal to the window alone, opened without a local event loop of its own: the
    // window's events, a reply wait's included, go on while it is open.
    void open(const PromptBox& box, std::function<void(PromptAnswer)> answered) override;
    void withdraw() override;

  private:
    QPointer<QWidget> parent_;
    QPointer<QMessageBox> question_;  // the box open() opened, until answered or withdrawn
    QMetaObject::Connection answer_;
};

}  // namespace quorvel

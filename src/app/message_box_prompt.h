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
    PromptAnswer show(const PromptBox& box) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace quorvel

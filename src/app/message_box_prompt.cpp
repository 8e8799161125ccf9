#include "message_box_prompt.h"

namespace quorvel {

namespace {

QMessageBox::Icon iconFor(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Exclamation:
            return QMessageBox::Warning;
        case PromptIcon::Critical:
            return QMessageBox::Critical;
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The answer that the button clicked in `box` gives, for a box set up from `buttons`.
PromptAnswer AnswerOf(const QMessageBox& box, PromptButtons buttons) {
    const QAbstractButton* clicked = box.clickedButton();
    if (buttons == PromptButtons::YesNo) {
        return clicked == box.button(QMessageBox::Yes) ? PromptAnswer::Yes : PromptAnswer::No;
    }
    return clicked == box.button(QMessageBox::Ok) ? PromptAnswer::Ok : PromptAnswer::Cancel;
}

}  // namespace

void ConfigureMessageBox(QMessageBox& box, const PromptBox& prompt) {
    box.setWindowTitle(QString::fromStdString(prompt.title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(prompt.text).replace(QStringLiteral("\r\n"), "\n"));
    box.setIcon(iconFor(prompt.icon));
    switch (prompt.buttons) {
        case PromptButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            box.setDefaultButton(prompt.defaultButton == PromptAnswer::Cancel ? QMessageBox::Cancel
                                                                              : QMessageBox::Ok);
            return;
        case PromptButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            box.setDefaultButton(prompt.defaultButton == PromptAnswer::Yes ? QMessageBox::Yes
                                                                           : QMessageBox::No);
            return;
        case PromptButtons::Ok:
            break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
}

MessageBoxPrompt::~MessageBoxPrompt() {
    withdraw();
}

PromptAnswer MessageBoxPrompt::show(const PromptBox& prompt) {
    QMessageBox box(parent_);
    ConfigureMessageBox(box, prompt);
    box.exec();
    return AnswerOf(box, prompt.buttons);
}

void MessageBoxPrompt::open(const PromptBox& prompt, std::function<void(PromptAnswer)> answered) {
    withdraw();
    auto* box = new QMessageBox(parent_);
    ConfigureMessageBox(*box, prompt);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    const PromptButtons buttons = prompt.buttons;
    answer_ = QObject::connect(box, &QDialog::finished, box,
                               [this, box, buttons, answered = std::move(answered)] {
                                   // The box deletes itself once closed.
                                   question_ = nullptr;
                                   answered(AnswerOf(*box, buttons));
                               });
    question_ = box;
    box->open();
    // The keys go to the question, not to the window it blocks: Escape and Enter answer it
    // even where no window manager moves the focus to a new window.
    box->raise();
    box->activateWindow();
}

void MessageBoxPrompt::withdraw() {
    QObject::disconnect(answer_);
    if (!question_) return;
    QMessageBox* box = question_;
    question_ = nullptr;
    box->hide();
    box->deleteLater();
}

}  // namespace quorvel

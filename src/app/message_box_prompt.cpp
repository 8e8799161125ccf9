#include "message_box_prompt.h"

namespace quorvel {

namespace {

// The box's icon, in the order of PromptIcon.
constexpr QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Warning,
                                        QMessageBox::Critical, QMessageBox::Information};

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
    box.setIcon(kIcons[static_cast<size_t>(prompt.icon)]);
    // The button that answers yes or OK, and the one that Escape presses (the same in a box
    // with one button).
    using enum QMessageBox::StandardButton;
    const auto [accept, reject] = prompt.buttons == PromptButtons::YesNo ? std::pair{Yes, No}
                                  : prompt.buttons == PromptButtons::OkCancel
                                      ? std::pair{Ok, Cancel}
                                      : std::pair{Ok, Ok};
    box.setStandardButtons(accept | reject);
    box.setEscapeButton(reject);
    const bool acceptByDefault = prompt.buttons == PromptButtons::YesNo
                                     ? prompt.defaultButton == PromptAnswer::Yes
                                     : prompt.defaultButton != PromptAnswer::Cancel;
    box.setDefaultButton(acceptByDefault ? accept : reject);
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

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

PromptAnswer MessageBoxPrompt::show(const PromptBox& prompt) {
    QMessageBox box(parent_);
    ConfigureMessageBox(box, prompt);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (prompt.buttons == PromptButtons::YesNo) {
        return clicked == box.button(QMessageBox::Yes) ? PromptAnswer::Yes : PromptAnswer::No;
    }
    return clicked == box.button(QMessageBox::Ok) ? PromptAnswer::Ok : PromptAnswer::Cancel;
}

}  // namespace quorvel

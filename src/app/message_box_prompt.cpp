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
    if (prompt.buttons == PromptButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setDefaultButton(prompt.defaultButton == PromptAnswer::Cancel &&
                                 prompt.buttons == PromptButtons::OkCancel
                             ? QMessageBox::Cancel
                             : QMessageBox::Ok);
}

PromptAnswer MessageBoxPrompt::show(const PromptBox& prompt) {
    QMessageBox box(parent_);
    ConfigureMessageBox(box, prompt);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok) ? PromptAnswer::Ok
                                                              : PromptAnswer::Cancel;
}

}  // namespace quorvel

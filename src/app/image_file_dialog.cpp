#include "image_file_dialog.h"

namespace quorvel {

void ConfigureImageDialog(QFileDialog& dialog) {
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog, so that the entries read exactly as given on every platform.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // Qt shows each entry without its last parenthesised pattern list.
    const QStringList filters{
        QStringLiteral("MOT & HEX (*.mot *.MOT *.hex *.HEX)"),
        QStringLiteral("Mot Files (*.mot) (*.mot *.MOT)"),
        QStringLiteral("Hex Files (*.hex) (*.hex *.HEX)"),
        QStringLiteral("All Files (*.*) (*)"),
    };
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
}

std::string ImageFileDialog::chooseImageFile() {
    QFileDialog dialog(parent_);
    ConfigureImageDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

}  // namespace quorvel

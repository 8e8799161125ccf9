#pragma once
// The file-open dialog for firmware files.

#include <QFileDialog>
#include <QPointer>

#include "file_chooser.h"

namespace quorvel {

// Four filter entries shown as "MOT & HEX", "Mot Files (*.mot)", "Hex Files (*.hex)" and
// "All Files (*.*)", the first preselected; only an existing file can be chosen. The patterns
// behind the entries also take capital extensions, as the names on a Windows disk often are.
void ConfigureImageDialog(QFileDialog& dialog);

class ImageFileDialog : public FileChooser {
  public:
    explicit ImageFileDialog(QWidget* parent) : parent_(parent) {}
    std::string chooseImageFile() override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace quorvel

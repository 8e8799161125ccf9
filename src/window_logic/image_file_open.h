#pragma once
// Replacing the image with a file the operator chooses: the File menu's "開く" item, and the
// "Tavik" button, which goes on to the one-button rewrite when the file loaded.

#include <cstdint>

#include "command_context.h"
#include "file_chooser.h"
#include "rewrite_sequence.h"

namespace quorvel {

class ImageFileOpen {
  public:
    ImageFileOpen(CommandContext& context, FileChooser& chooser, RewriteSequence& rewrite)
        : context_(context), chooser_(chooser), rewrite_(rewrite) {}

    // 1 when a file was chosen and loaded, 0 when the dialog was cancelled or the load failed.
    uint8_t OpenImageFile();

    void mnuOpen_Click() { OpenImageFile(); }
    void cmdTavik_Click();

  private:
    CommandContext& context_;
    FileChooser& chooser_;
    RewriteSequence& rewrite_;
};

}  // namespace quorvel

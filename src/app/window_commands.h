#pragma once
// The operator commands of the window, built on one command context.

#include "checksum_command.h"
#include "image_file_open.h"
#include "port_panel.h"
#include "rewrite_sequence.h"
#include "step_buttons.h"

namespace quorvel {

struct WindowCommands {
    WindowCommands(CommandContext& context, FileChooser& chooser)
        : rewrite(context),
          steps(context),
          portPanel(context),
          fileOpen(context, chooser, rewrite),
          checksum(context) {}

    RewriteSequence rewrite;
    StepButtons steps;
    PortPanel portPanel;
    ImageFileOpen fileOpen;
    ChecksumCommand checksum;
};

}  // namespace quorvel

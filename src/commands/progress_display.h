#pragma once
// Shows the walk of the programming exchanges on the window: the address in Text1 and one
// step of the progress bar per block position, never past the end of the bar.

#include "loader.h"
#include "panel.h"

namespace quorvel {

ProgressCallback ProgressOnPanel(Panel& panel);

}  // namespace quorvel

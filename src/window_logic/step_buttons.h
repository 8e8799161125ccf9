#pragma once
// The bench's step buttons and the Edit menu's write item: one exchange each, reported in a
// box titled "OK" or "NG".

#include "command_context.h"
#include "step_table.h"

namespace quorvel {

class StepButtons {
  public:
    explicit StepButtons(CommandContext& context) : context_(context) {}

    void Click(StepButton button) { run(stepEntry(button), false); }
    // The Edit menu's write is the end user's, not the bench's: it runs cmbWrite's exchange
    // and boxes, but asks the rewrite's confirmation first and shows the progress bar.
    void mnuWrite_Click() { run(stepEntry(StepButton::cmbWrite), true); }

  private:
    void run(const StepEntry& entry, bool confirmAndShowBar);

    CommandContext& context_;
};

}  // namespace quorvel

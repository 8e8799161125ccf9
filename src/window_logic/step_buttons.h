#pragma once
// The bench's step buttons and the Edit menu's write item: one exchange each, reported in a
// box titled "OK" or "NG".

#include <cstdint>
#include <string>
#include <vector>

#include "command_context.h"
#include "service_history.h"
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
    // False, after the "no image" box, when the button writes the image and it holds nothing
    // that its walk would send.
    bool imageReady(const StepEntry& entry);
    int16_t runExchange(const StepEntry& entry);
    // The failure box's lines under its first: why the step failed.
    std::vector<std::string> cause(const StepEntry& entry, int16_t status);

    // Adds the final line of the Edit menu's write to the service history.
    void endHistory(HistoryEntry& history, const StepRecord& step,
                    const std::vector<std::string>& why);

    CommandContext& context_;
};

}  // namespace quorvel

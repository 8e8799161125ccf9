#pragma once
// The bench's step buttons: which exchange each runs, the status it takes as success, the two
// texts it shows, and whether it disables itself or shows the hourglass while it runs.

#include <cstdint>

#include "control_id.h"
#include "step.h"

namespace quorvel {

enum class StepButton {
    Command1,
    Command11,
    Command4,
    cmbErase,
    Command8,
    Command7,
    cmbWrite,
    Command9,
    Command6,
    cmbEnd,
    Command10,
    Command5,
};
constexpr int kStepButtonCount = 12;

enum class StepKind { Disabling, Hourglass };

struct StepEntry {
    ControlId control;
    StepKind kind;
    Step step;                // the exchange it runs
    int16_t success;          // the one status that counts as success
    const char* successText;  // box titled "OK", no icon
    const char* failureText;  // box titled "NG", exclamation icon
};

const StepEntry& stepEntry(StepButton button);

}  // namespace quorvel

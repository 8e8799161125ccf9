#pragma once
// The cause of a failed exchange as the window's failure boxes give it under their first line:
// the port's trouble (missing, held by another program, not permitted) or what came back from
// the device, in the words the command line uses for the same step (diagnosis.h).

#include <string>
#include <vector>

#include "exchanges.h"
#include "step.h"

namespace quorvel {

// `step` is the exchange that ran, `status` what it returned. Read right after the exchange,
// before another one runs. Empty when nothing more can be said.
std::vector<std::string> FailureCause(const Exchanges& link, Step step, int16_t status);

}  // namespace quorvel

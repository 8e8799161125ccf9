#pragma once
// One exchange that a device command ran: its status, whether that counts as success, how long
// it took, and what it saw of the port and the device.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exchanges.h"
#include "step.h"

namespace quorvel {

struct StepRecord {
    Step step = Step::Connect;
    int16_t status = 0;
    bool accepted = false;
    double ms = 0;
    std::string portError;  // why the port could not be opened or used; empty when it was fine
    ExchangeDiagnostics seen;
    bool strict = false;                         // run with --strict
    std::vector<UnconfirmedAnswer> unconfirmed;  // see Loader::answersNotConfirmed()
};

// Who hears of the steps: each one as it starts, and its record once it has ended. Either may
// be empty.
struct StepWatch {
    std::function<void(Step step)> started;
    std::function<void(const StepRecord& step)> done;
};

// Runs `exchange` on `link` as `step` and returns its record, read from the link before
// anything else runs; `accepts` says which statuses count as success.
StepRecord RunStep(Exchanges& link, Step step, const std::function<bool(int16_t)>& accepts,
                   const std::function<int16_t()>& exchange, bool strict, const StepWatch& watch);

}  // namespace quorvel

#pragma once
// One exchange that a device command ran: its status, whether that counts as success, how long
// it took, and what it saw of the port and the device.

#include <cstdint>
#include <string>
#include <vector>

#include "loader.h"
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
    std::vector<int> notEchoed;                  // see Loader::answersNotEchoed()
    std::vector<UnconfirmedAnswer> unconfirmed;  // see Loader::answersNotConfirmed()
};

}  // namespace quorvel

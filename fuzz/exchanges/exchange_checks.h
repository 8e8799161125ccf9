#pragma once
// What an exchange may have put on the line and returned, judged from the transmissions and
// the replies it read: the right bytes at the right speed, no more attempts than its limits,
// retries used up before it gives up, and no success for an answer the device did not give.
// A broken rule aborts the fuzzer.

#include <cstdint>
#include <vector>

#include "exchange_run.h"
#include "fuzzed_transport.h"
#include "memory_image.h"

namespace quorvel::fuzz {

struct Outcome {
    int16_t status;
    const std::vector<Transmission>& sent;
    ProgressCount progress;
    bool portTrouble;  // the port could not be opened, failed, or a wait was aborted
};

void checkOutcome(const Run& run, const MemoryImage& image, const Outcome& outcome);

}  // namespace quorvel::fuzz

#pragma once
// The record of a write as both front ends keep it (device_record.h): begun right before the
// first byte goes to the device, with who, where and what, and ended with how the write went.
// quorvel-flash write --record and the window's service history build their lines here.

#include <string>
#include <vector>

#include "device_record.h"
#include "exchange_settings.h"
#include "image_identity.h"
#include "memory_image.h"
#include "rewrite_outcome.h"
#include "step_record.h"

namespace quorvel {

// A new attempt at the device that `settings` name, `port` being the port as the operator
// named it, for the board `unit` (empty: none), writing `image`: its id, the host, the tool's
// version, the device and its adapter, and this moment as its start.
Record BeginRecord(const ExchangeSettings& settings, const std::string& port,
                   const std::string& unit, const ImageFacts& image);

// Completes the attempt's record with how the write of `image` ended: `outcome`, the steps
// that ran (the last one failed when the write failed), what went wrong (`diagnosis`), the
// device's state, the warnings beside the outcome, and the seconds it took. Ended now.
void EndRecord(Record& record, const OutcomeFacts& outcome, const std::vector<StepRecord>& steps,
               const MemoryImage& image, std::vector<std::string> diagnosis,
               const std::string& deviceState, const std::vector<std::string>& warnings,
               double seconds);

// The 1 KiB blocks the device accepted in the program steps: every block with data when a
// step succeeded, else those before the block it ended on.
int blocksAccepted(const std::vector<StepRecord>& steps, const MemoryImage& image);

}  // namespace quorvel

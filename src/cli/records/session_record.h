#pragma once
// The record (device_record.h) of a write that has ended on one port, from its session.

#include "device_record.h"
#include "device_session.h"
#include "json_run.h"
#include "memory_image.h"

namespace quorvel::cli {

// Call once the session's steps are done and any interruption is marked: `ok` is the write's
// outcome, `facts` the firmware file's (imageFacts()) and `image` what was loaded from it.
DeviceRecord sessionRecord(const DeviceSession& session, bool ok, const ImageFacts& facts,
                           const MemoryImage& image);

// The 1 KiB blocks the device accepted in the session's program steps: every block with data
// when a step succeeded, else those before the block it ended on.
int blocksAccepted(const std::vector<StepRecord>& steps, const MemoryImage& image);

}  // namespace quorvel::cli

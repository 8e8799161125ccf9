#pragma once
// What a device command that was stopped on request (Ctrl-C, SIGTERM, a closed output) tells
// the operator: where it stopped and the state that leaves the device in, e.g. "interrupted
// before block 0x010400, with 40 of 88 blocks written: the device is erased and partly
// written; it stays in flash mode; run write again".

#include <string>
#include <vector>

#include "memory_image.h"
#include "step_record.h"

namespace quorvel {

// Why the exchanges were stopped: the operator asked (Ctrl-C, a signal, the window closing), or
// the command line's output could not be written.
enum class StopCause { None, Signal, OutputFailed };

// `steps` are the steps a command ran (`rewrite`: the whole rewrite, otherwise one step), the
// last one the step that stopped (its diagnostics say `stopped`) or, for the rewrite, the last
// one that succeeded before the stop; `image` is the image the command sent.
std::string interruptionReport(bool rewrite, const std::vector<StepRecord>& steps,
                               const MemoryImage& image, StopCause cause);

}  // namespace quorvel

#pragma once
// The steps the tools run on a device, one exchange with its loader each, and the one name each
// step has wherever the operator reads it: the command line's lines and reports, its JSON, the
// record files and transcripts, and the window's failure boxes.

#include <cstdint>

#include "exchanges.h"

namespace quorvel {

enum class Step { Connect, Pin, Erase, Program, Disconnect, TextErase, TextEnd, RowWrite };

// "connect", "pin", "erase", "program", "disconnect", "text-erase", "text-end", "row-write".
const char* StepName(Step step);

// The one exchange that `step` sends, on `link` with `settings`: the walks send `image` and
// report to `progress`. The same for the command line's step commands, the window's bench
// buttons and the fuzzer.
int16_t RunExchange(Exchanges& link, Step step, const ExchangeSettings& settings,
                    const MemoryImage& image, const ProgressCallback& progress);

}  // namespace quorvel

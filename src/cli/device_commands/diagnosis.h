#pragma once
// Why a device command's step failed, in words an operator can act on: not only which step,
// but what came back from the device (nothing, too little, or an answer with the wrong status
// byte) and how many attempts were used.

#include <cstdint>
#include <string>
#include <vector>

#include "exchange_settings.h"
#include "step_record.h"

namespace quorvel::cli {

// "erase failed with status 1 after 3 of 3 attempts", "program failed with status 1 at block
// 0x10000 after 2 of 2 attempts".
std::string failureLine(const StepRecord& step);

// What the step saw: the port's trouble, the silence, the short reply or the status byte that
// was there, with a hint where one helps. `loader` is the generation the command was run for
// (a wrong one shows at connect). Empty when nothing more can be said.
std::vector<std::string> explainFailure(const StepRecord& step, LoaderGeneration loader);

// The warning for answers that were taken although they did not repeat the frame sent, naming
// the frames ("block 0x10000", "the erase frame"); empty when every answer repeated its frame.
std::string echoWarning(const std::vector<StepRecord>& steps);

// A received byte for a message: "'E' (0x45)" when printable, "0x0D" otherwise.
std::string byteText(uint8_t byte);

}  // namespace quorvel::cli

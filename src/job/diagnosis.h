#pragma once
// Why a device command's step failed, in words an operator can act on: not only which step,
// but what came back from the device (nothing, too little, or an answer with the wrong status
// byte) and how many attempts were used. The command line prints it under a failed step; the
// window puts it under the first line of its failure box.

#include <cstdint>
#include <string>
#include <vector>

#include "exchange_settings.h"
#include "step_record.h"

namespace quorvel {

// "erase failed with status 1 after 3 of 3 attempts", "program failed with status 1 at block
// 0x10000 after 2 of 2 attempts".
std::string failureLine(const StepRecord& step);

// What the step saw: the port's trouble, the silence, the short reply or the status byte that
// was there, with a hint where one helps. `loader` is the generation the command was run for
// (a wrong one shows at connect). Empty when nothing more can be said.
std::vector<std::string> explainFailure(const StepRecord& step, LoaderGeneration loader);

// The same without the hint on the loader generation, which names the command line's option:
// the port's trouble, the silence, the short reply or the status byte that was there.
std::vector<std::string> explainStep(const StepRecord& step);

// What kind of answer a failed step got: "no answer", "short reply", "status byte 'E' (0x45)",
// "port could not be opened", "status 8" when nothing more can be said. Few and short, so that
// failures can be counted by them; the record keeps it as the failure's "cause".
std::string AnswerKind(const StepRecord& step);

// The same read back from a diagnosis as record lines without a "cause" keep it (the lines of
// the tool before that key, worded as it worded them); "not said" when it says nothing.
std::string answerKind(const std::vector<std::string>& diagnosis);

// The warning for answers that were taken although they did not repeat the frame sent, naming
// the frames ("block 0x10000", "the erase frame"); empty when every answer repeated its frame.
std::string echoWarning(const std::vector<StepRecord>& steps);

// A received byte for a message: "'E' (0x45)" when printable, "0x0D" otherwise.
std::string byteText(uint8_t byte);

// A byte address as the tool writes it: "0x010400".
std::string byteAddress(uint32_t address);

}  // namespace quorvel

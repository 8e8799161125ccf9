#pragma once
// What a step's end means, in the operator's words, for the command line's step lines
// ("connect: in flash mode", "erase: refused"). The status numbers stay in the transcript (-v),
// the JSON and the record.

#include <string>

#include "step_record.h"

namespace quorvel {

// "in flash mode", "accepted", "written", "left flash mode", "OK", "output high", "refused",
// "no answer", "answer cut short", "stopped"...
std::string StepEndWords(const StepRecord& step);

}  // namespace quorvel

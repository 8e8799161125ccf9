#pragma once
// What a step's end means, in the operator's words, for the command line's step lines
// ("connect: in flash mode", "erase: refused"). The status numbers stay in the transcript (-v),
// the JSON and the record.

#include <string>
#include <vector>

#include "step_record.h"

namespace quorvel {

// "in flash mode", "accepted", "written", "left flash mode", "OK", "output high", "refused",
// "no answer", "answer cut short", "stopped"...
std::string StepEndWords(const StepRecord& step);

// The frames among `answers` that were taken without confirming them: "1 block", "3 blocks";
// with `nameErase`, a frame of no block (row -1) as "the erase": "the erase and 2 blocks".
// Empty when none is named.
std::string UnconfirmedFrames(const std::vector<UnconfirmedAnswer>& answers, bool nameErase);

}  // namespace quorvel

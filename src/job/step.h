#pragma once
// The steps the tools run on a device, one exchange with its loader each, and the one name each
// step has wherever the operator reads it: the command line's lines and reports, its JSON, the
// record files and transcripts, and the window's failure boxes.

namespace quorvel {

enum class Step { Connect, Pin, Erase, Program, Disconnect, TextErase, TextEnd, RowWrite };

// "connect", "pin", "erase", "program", "disconnect", "text-erase", "text-end", "row-write".
const char* StepName(Step step);

}  // namespace quorvel

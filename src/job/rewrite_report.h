#pragma once
// What a rewrite leaves on the device, what the operator does next, and the warnings that go
// beside its outcome: the window and the command line say the same.

#include <string>
#include <vector>

#include "memory_image.h"
#include "rewrite_flow.h"

namespace quorvel {

// The device's state after the rewrite, ending with the next step where one is needed: "the
// device is erased, with 40 of 88 blocks written; it stays in flash mode; press the button
// again". `again` is that step in the caller's words ("press the button again", "run write
// again"). Empty for a rewrite stopped on request, whose caller knows where it stopped.
std::string RewriteDeviceState(const RewriteResult& result, const MemoryImage& image,
                               const std::string& again);

// The device's state after a connect that was answered with bytes no loader sends to it: "the
// device's state is unknown: it may hold an interrupted write; power-cycle it, then write again".
std::string UnknownDeviceState();

// How many answers that were taken without confirming their frames the reports list one by one.
inline constexpr size_t kListedUnconfirmed = 8;

// A line for every such answer of `steps`, naming the frame and what it answered ("block
// 0x010000 answered 'B' (0x42)", "the erase frame answered '1' (0x31), without repeating the
// frame"), at most `listed` of them, then "and 3 more".
std::vector<std::string> UnconfirmedLines(const std::vector<StepRecord>& steps, size_t listed);

// What a step that the device took leaves in doubt: what its answers did not confirm and what
// that may mean for the device, then which frames and what they answered. Empty when the step
// failed or every answer confirmed its frame. Every window button that runs a frame step says
// this under its success text, as the one-button rewrite does.
std::vector<std::string> StepDoubts(const StepRecord& step);

// The warnings of a rewrite that went through: answers that did not confirm their frames, an
// end left unanswered. Empty otherwise.
std::vector<std::string> RewriteWarnings(const RewriteResult& result);

}  // namespace quorvel

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

// The warnings of a rewrite that went through: answers that did not confirm their frames, an
// end left unanswered. Empty otherwise.
std::vector<std::string> RewriteWarnings(const RewriteResult& result);

}  // namespace quorvel

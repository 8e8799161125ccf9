#pragma once
// How long the link waits for the device.

#include <chrono>

namespace quorvel {

// The reply deadline: a fresh countdown for every wait, started right after the command or
// frame was handed to the port (so it includes the frame's own time on the line).
inline constexpr std::chrono::milliseconds kReplyTimeout{2500};

}  // namespace quorvel

#pragma once
// How long the link waits for the device.

#include <chrono>

namespace quorvel {

// The reply deadline: a fresh countdown for every wait, started right after the command or
// frame was handed to the port (so it includes the frame's own time on the line).
inline constexpr std::chrono::milliseconds kReplyTimeout{2500};

// A reply that missed its deadline may still be on its way (a slow device, or a USB adapter
// holding back the tail of it). Before the next message goes out the link listens for the
// rest and throws it away, so that no byte of an old reply is taken for the next answer:
// until the late reply is whole and the line has then been quiet for kSettleQuiet, or until
// nothing has arrived for kLateReplyWindow, and never longer than kSettleLimit in all.
inline constexpr std::chrono::milliseconds kLateReplyWindow{2500};
inline constexpr std::chrono::milliseconds kSettleQuiet{50};
inline constexpr std::chrono::milliseconds kSettleLimit{3000};

// How often a wait asks whether a stop wants it ended at once (Transport::abortWaitsWhen).
inline constexpr std::chrono::milliseconds kAbortPollInterval{50};

}  // namespace quorvel

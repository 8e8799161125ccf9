#pragma once
// Times as the tools write them: in UTC for reports and records, which machines compare, and
// in the computer's own time for the transcript a technician reads.

#include <chrono>
#include <string>

namespace quorvel {

// A time as the report gives it, in UTC: "2026-12-07T10:00:00.123Z".
std::string utcText(std::chrono::system_clock::time_point at);

// This moment in the computer's local time: "2026-12-07 10:00:00".
std::string localTimeNow();

// The time of day in the computer's local time: "10:00:00".
std::string clockTimeNow();

// A length of time as the progress and the results show it: seconds with one decimal ("47.9 s"),
// or whole seconds as minutes and seconds for the time left ("0:21"; below zero reads as 0:00).
std::string secondsText(double seconds);
std::string minutesText(long long seconds);

}  // namespace quorvel

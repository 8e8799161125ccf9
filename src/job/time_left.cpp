#include "time_left.h"

#include <algorithm>

namespace quorvel {

TimeLeft::TimeLeft(int total, Clock::time_point begun) : total_(total), begun_(begun) {}

TimeLeft::Seconds TimeLeft::spent(Clock::time_point now) const {
    return now - begun_;
}

std::optional<TimeLeft::Seconds> TimeLeft::left(int answered, Clock::time_point now) const {
    if (answered <= 0) return std::nullopt;
    return spent(now) / answered * std::max(0, total_ - answered);
}

}  // namespace quorvel

#pragma once
// How long a walk that sends blocks or rows has left: the units still to go at the pace of those
// already answered. The window's bar and the command line's progress line both show it.

#include <chrono>
#include <optional>

namespace quorvel {

class TimeLeft {
  public:
    using Clock = std::chrono::steady_clock;
    using Seconds = std::chrono::duration<double>;

    explicit TimeLeft(int total, Clock::time_point begun = Clock::now());

    Seconds spent(Clock::time_point now = Clock::now()) const;
    // The time the units not yet answered take at the pace of the `answered` ones; none until
    // one is answered, and never below zero.
    std::optional<Seconds> left(int answered, Clock::time_point now = Clock::now()) const;

  private:
    int total_;
    Clock::time_point begun_;
};

}  // namespace quorvel

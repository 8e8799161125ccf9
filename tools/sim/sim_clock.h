#pragma once
// Monotonic time in nanoseconds, the one clock of the simulator.

#include <time.h>

#include <cstdint>

namespace quorvel::sim {

inline int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

inline timespec toTimespec(int64_t ns) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

}  // namespace quorvel::sim

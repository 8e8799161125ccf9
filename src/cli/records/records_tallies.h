#pragma once
// The tallies of the records report beyond the counts per outcome: what the attempts that were
// not written ran into, and how long the successful writes took. Each stays bounded whatever
// the lines read: the causes grow with the steps and kinds of answer (answerKind()), the times
// are a histogram of fixed size.

#include <optional>
#include <string>
#include <vector>

#include "outcome_words.h"

namespace quorvel::cli {

// The attempts that ended the same way: at one step, with one kind of answer.
struct Cause {
    static constexpr size_t kListedUnits = 10;

    std::string step;    // the failed step; empty when the record names none
    std::string answer;  // what the step got, or how the attempt ended (interrupted, unconfirmed)
    long long devices = 0;
    std::vector<std::string> units;  // the first units concerned, each once
    long long more = 0;              // the attempts not at a listed unit (or without one)

    void add(const std::string& unit);
};

// How long the successful writes took, by the tenth of a second.
class CycleTimes {
  public:
    struct Bin {
        double from;  // seconds, inclusive
        double to;    // seconds, exclusive
        long long devices;
    };
    // The histogram shows at most this many bins, of a round width of half a second or more.
    static constexpr size_t kMostBins = 20;

    // `devices` writes that took `seconds` each.
    void add(double seconds, long long devices = 1);
    long long devices() const { return devices_; }
    double min() const { return min_; }
    double max() const { return max_; }
    // The time within which `share` (0 to 1) of the writes ended, to the tenth of a second
    // (beyond 1000 s: the longest time).
    double quantile(double share) const;
    std::vector<Bin> bins() const;

  private:
    static constexpr size_t kTenths = 10000;  // 0 to 999.9 s; longer in the last
    std::vector<long long> tenths_ = std::vector<long long>(kTenths, 0);
    long long devices_ = 0;
    double min_ = 0;
    double max_ = 0;
};

// The order in which the reports list a tally's counts, after its number of devices.
inline constexpr OutcomeSeverity kCountOrder[] = {
    OutcomeSeverity::Success, OutcomeSeverity::Failure, OutcomeSeverity::Interrupted,
    OutcomeSeverity::Unconfirmed};

// The hour a record's start time falls in, UTC, as "2026-03-02T08"; empty when `started` is no
// ISO 8601 time.
std::string hourOf(const std::string& started);

// How a not-written attempt ended, for counting: what its failed step got, or the outcome's
// word when it was interrupted or its answers were unconfirmed.
std::string answerOf(OutcomeSeverity severity, const std::string& cause,
                     const std::vector<std::string>& diagnosis);

}  // namespace quorvel::cli

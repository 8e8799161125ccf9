#pragma once
// records --since and --until: the attempts counted are those whose write started from one
// time (inclusive) to another (exclusive), both ISO 8601; a time without a zone is UTC, as the
// records are.

#include <QDateTime>
#include <string>

namespace quorvel::cli {

struct TimeBounds {
    QDateTime since;  // invalid: no lower bound
    QDateTime until;  // invalid: no upper bound

    // Whether a record whose `started` is this text is counted: always without bounds, never
    // when it is no time and there are bounds.
    bool contains(const std::string& started) const;
};

// The bounds of --since `since` and --until `until` (empty: none); `problem` says which one is
// no ISO 8601 time, or that they leave no time between them.
TimeBounds timeBounds(const std::string& since, const std::string& until, std::string& problem);

}  // namespace quorvel::cli

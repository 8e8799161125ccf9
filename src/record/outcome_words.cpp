#include "outcome_words.h"

#include <cmath>
#include <numeric>

namespace quorvel {

std::optional<OutcomeSeverity> SeverityNamed(std::string_view word) {
    for (size_t s = 0; s < kSeverities; ++s) {
        if (kOutcomeWords[s] == word) return static_cast<OutcomeSeverity>(s);
    }
    return std::nullopt;
}

int OutcomeCounts::total() const {
    return std::accumulate(count.begin(), count.end(), 0);
}

OutcomeSeverity OutcomeCounts::worst() const {
    for (size_t s = kSeverities; s-- > 0;) {
        if (count[s] > 0) return static_cast<OutcomeSeverity>(s);
    }
    return OutcomeSeverity::Success;
}

std::optional<double> percentOf(long long part, long long whole) {
    if (whole == 0) return std::nullopt;
    return std::round(static_cast<double>(part) * 1000.0 / static_cast<double>(whole)) / 10;
}

}  // namespace quorvel

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

std::optional<double> OutcomeCounts::yield() const {
    const int all = total();
    if (all == 0) return std::nullopt;
    return std::round((*this)[OutcomeSeverity::Success] * 1000.0 / all) / 10;
}

}  // namespace quorvel

#pragma once
// How bad the end of a write is, and the word that reports and record files give it: the
// rewrite's outcome table names each of its outcomes with one of these words, and the reading
// of a record turns the word back into its severity. Everything that writes or reads an
// outcome's word takes it here.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvel {

// How bad an outcome is, from best to worst: a run of several devices ends as its worst one.
// A step command (connect, pin...) ends in one of these too.
enum class OutcomeSeverity { Success, Unconfirmed, Failure, Interrupted };
inline constexpr size_t kSeverities = 4;

// The words, in the order of OutcomeSeverity.
inline constexpr std::array<const char*, kSeverities> kOutcomeWords = {"success", "unconfirmed",
                                                                       "failure", "interrupted"};

constexpr const char* OutcomeWord(OutcomeSeverity severity) {
    return kOutcomeWords[static_cast<size_t>(severity)];
}

// The severity a record names with `word`; none for a word no outcome has.
std::optional<OutcomeSeverity> SeverityNamed(std::string_view word);

// `part` of `whole` in percent, rounded to tenths; none when `whole` is 0.
std::optional<double> percentOf(long long part, long long whole);

// How many runs ended in each severity, and the worst of them.
struct OutcomeCounts {
    std::array<int, kSeverities> count{};

    void add(OutcomeSeverity severity, int runs = 1) {
        count[static_cast<size_t>(severity)] += runs;
    }
    int operator[](OutcomeSeverity severity) const { return count[static_cast<size_t>(severity)]; }
    int total() const;
    // Success when nothing was counted.
    OutcomeSeverity worst() const;
    // The yield: the successes among all the attempts counted (an attempt counts once, with
    // its final outcome), in percent rounded to tenths; none when nothing was counted. The
    // station's board and totals and the summaries of records all give this figure.
    std::optional<double> yield() const {
        return percentOf((*this)[OutcomeSeverity::Success], total());
    }
};

}  // namespace quorvel

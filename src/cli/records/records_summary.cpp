#include "records_summary.h"

#include <algorithm>
#include <cmath>

namespace quorvel::cli {

std::optional<double> Tally::yield() const {
    return counts.yield();
}

Tally& RecordsSummary::Rows::row(const std::string& name, const std::string& detail) {
    const auto [at, added] = index.try_emplace({name, detail}, rows.size());
    if (added) rows.push_back(Tally{name, detail, {}});
    return rows[at->second];
}

void RecordsSummary::addStarted(Record record, size_t file, long long line) {
    const long long order = read_++;
    if (endedFirst_.erase(record.attempt) > 0) return;
    std::string id = record.attempt;
    open_.insert_or_assign(std::move(id),
                           OpenAttempt{order, {file, line, false}, std::move(record)});
}

void RecordsSummary::add(Record record) {
    const long long order = read_++;
    if (!record.attempt.empty() && open_.erase(record.attempt) == 0) {
        endedFirst_.insert(record.attempt);
    }
    count(std::move(record), order);
}

void RecordsSummary::finish() {
    std::vector<OpenAttempt*> left;
    for (auto& [id, attempt] : open_) left.push_back(&attempt);
    std::sort(left.begin(), left.end(),
              [](const OpenAttempt* a, const OpenAttempt* b) { return a->order < b->order; });
    for (OpenAttempt* a : left) {
        unfinished_.push_back(a->where);
        Record& r = a->record;
        r.unfinished = true;
        r.opening = false;
        r.outcome = OutcomeWord(OutcomeSeverity::Interrupted);
        r.severity = OutcomeSeverity::Interrupted;
        r.diagnosis = {
            "started, with no final line: the writer was killed, crashed or lost power, or is "
            "still writing; what the device holds is unknown"};
        count(std::move(r), a->order);
    }
    open_.clear();
    endedFirst_.clear();
}

void RecordsSummary::count(Record record, long long order) {
    all_.add(record.severity);
    images_.row(record.image, record.sha256).add(record.severity);
    ports_.row(record.port, record.host).add(record.severity);
    const std::string hour = hourOf(record.started);
    hours_.try_emplace(hour, Tally{hour, {}, {}}).first->second.add(record.severity);
    const bool written = record.severity == OutcomeSeverity::Success;
    if (written && record.seconds) cycleTimes_.add(*record.seconds);
    if (!written) {
        const std::pair<std::string, std::string> key{
            record.failedStep, answerOf(record.severity, record.cause, record.diagnosis)};
        const auto [at, added] = causeIndex_.try_emplace(key, causes_.size());
        if (added) causes_.push_back(Cause{key.first, key.second, 0, {}, 0});
        causes_[at->second].add(record.unit);
    }
    if (record.unit.empty()) {
        if (!written) withoutUnit_.push_back({order, std::move(record)});
        return;
    }
    Unit& unit = units_.try_emplace(record.unit, Unit{order, false, {}}).first->second;
    if (unit.written) return;
    if (written) {
        unit.written = true;
        ++unitsWritten_;
        std::vector<Attempt>().swap(unit.attempts);
    } else {
        unit.attempts.push_back({order, std::move(record)});
    }
}

std::vector<Record> RecordsSummary::notWritten() const {
    std::vector<const Attempt*> attempts;
    for (const Attempt& a : withoutUnit_) attempts.push_back(&a);
    for (const auto& [id, unit] : units_) {
        for (const Attempt& a : unit.attempts) attempts.push_back(&a);
    }
    std::sort(attempts.begin(), attempts.end(),
              [](const Attempt* a, const Attempt* b) { return a->order < b->order; });
    std::vector<Record> list;
    list.reserve(attempts.size());
    for (const Attempt* a : attempts) list.push_back(a->record);
    return list;
}

std::vector<std::string> RecordsSummary::unitsNotWritten() const {
    std::vector<std::pair<long long, const std::string*>> ids;
    for (const auto& [id, unit] : units_) {
        if (!unit.written) ids.emplace_back(unit.firstSeen, &id);
    }
    std::sort(ids.begin(), ids.end());
    std::vector<std::string> list;
    list.reserve(ids.size());
    for (const auto& [order, id] : ids) list.push_back(*id);
    return list;
}

}  // namespace quorvel::cli

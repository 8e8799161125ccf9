#include "records_summary.h"

#include <QDateTime>
#include <QString>
#include <algorithm>

namespace quorvel::cli {

namespace {

// Whether start time `a` is earlier than `b`: the records' times are UTC in one form, so their
// texts sort as the times do; one that is no time (empty) counts as none.
bool earlier(const std::string& a, const std::string& b) {
    return !a.empty() && (b.empty() || a < b);
}

// An attempt whose started line has no final line: interrupted, what the device holds unknown.
void closeUnfinished(Record& r) {
    r.unfinished = true;
    r.opening = false;
    r.outcome = OutcomeWord(OutcomeSeverity::Interrupted);
    r.severity = OutcomeSeverity::Interrupted;
    r.diagnosis = {
        "started, with no final line: the writer was killed, crashed or lost power, or is "
        "still writing; what the device holds is unknown"};
}

}  // namespace

Tally& RecordsSummary::Rows::row(const std::string& name, const std::string& detail) {
    if (last < rows.size() && rows[last].name == name && rows[last].detail == detail)
        return rows[last];
    const auto [at, added] = index.try_emplace({name, detail}, rows.size());
    if (added) rows.push_back(Tally{{}, name, detail});
    last = at->second;
    return rows[last];
}

Tally& RecordsSummary::hourRow(const std::string& hour) {
    return hours_.try_emplace(hour, Tally{{}, hour, {}}).first->second;
}

void RecordsSummary::noteStarted(const std::string& started) {
    if (earlier(started, firstStarted_)) firstStarted_ = started;
    if (started > lastStarted_) lastStarted_ = started;
}

void RecordsSummary::addStarted(const Record& record, size_t file, long long line) {
    const long long order = read_++;
    if (endedFirst_.erase(record.attempt) > 0) return;
    const auto fill = [&](OpenAttempt& open) {
        open.order = order;
        open.where = {file, line, false};
        open.record = record;
    };
    // The same attempt started again stands where it was started last.
    if (const auto at = open_.find(record.attempt); at != open_.end()) {
        fill(at->second);
    } else if (closed_.empty()) {
        fill(open_[record.attempt]);
    } else {
        auto entry = std::move(closed_.back());
        closed_.pop_back();
        entry.key() = record.attempt;
        fill(entry.mapped());
        open_.insert(std::move(entry));
    }
}

void RecordsSummary::add(const Record& record) {
    const long long order = read_++;
    if (!record.attempt.empty()) {
        auto entry = open_.extract(record.attempt);
        if (entry.empty()) {
            endedFirst_.insert(record.attempt);
        } else if (closed_.size() < kClosedKept) {
            closed_.push_back(std::move(entry));
        }
    }
    count(record, order);
}

void RecordsSummary::finish() {
    std::vector<OpenAttempt*> left;
    for (auto& [id, attempt] : open_) left.push_back(&attempt);
    std::ranges::sort(left, {}, &OpenAttempt::order);
    for (OpenAttempt* a : left) {
        unfinished_.push_back(a->where);
        closeUnfinished(a->record);
        count(a->record, a->order);
    }
    open_.clear();
    endedFirst_.clear();
    closed_.clear();
    for (const Unit& unit : units_) {
        for (Tally* t : {&all_, &images_.rows[unit.firstImage], &ports_.rows[unit.firstPort]})
            t->addUnits(1, unit.firstWritten ? 1 : 0, unit.written ? 1 : 0);
    }
}

void RecordsSummary::count(const Record& record, long long order) {
    if (keepAttempts_) attempts_.push_back(record);
    all_.add(record.severity);
    images_.row(record.image, record.sha256).add(record.severity);
    ports_.row(record.port, record.host).add(record.severity);
    noteStarted(record.started);
    const std::string hour = hourOf(record.started);
    if (hour_ == nullptr || hour_->name != hour) hour_ = &hourRow(hour);
    hour_->add(record.severity);
    const bool written = record.severity == OutcomeSeverity::Success;
    if (written && record.seconds) cycleTimes_.add(*record.seconds);
    if (!written) addCause(record);
    if (record.unit.empty()) {
        if (!written) withoutUnit_.push_back({order, record});
        return;
    }
    const auto [found, added] = unitIndex_.try_emplace(record.unit, units_.size());
    if (added) units_.push_back(Unit{record.unit, order, false, {}, {}, 0, 0, false});
    Unit& unit = units_[found->second];
    if (added || earlier(record.started, unit.firstStarted)) {
        unit.firstStarted = record.started;
        // The rows this record was just counted in.
        unit.firstImage = images_.last;
        unit.firstPort = ports_.last;
        unit.firstWritten = written;
    }
    if (unit.written) return;
    if (written) {
        unit.written = true;
        ++unitsWritten_;
        std::vector<Attempt>().swap(unit.attempts);
    } else {
        unit.attempts.push_back({order, record});
    }
}

void RecordsSummary::addCause(const Record& record) {
    const std::pair<std::string, std::string> key{
        record.failedStep, answerOf(record.severity, record.cause, record.diagnosis)};
    const auto [at, added] = causeIndex_.try_emplace(key, causes_.size());
    if (added) causes_.push_back(Cause{key.first, key.second, 0, {}, 0});
    causes_[at->second].add(record.unit);
}

void RecordsSummary::addSums(const DatabaseSums& sums, size_t file) {
    for (const auto& g : sums.images) {
        images_.row(g.name, g.detail).add(g.severity, static_cast<int>(g.attempts));
        all_.add(g.severity, static_cast<int>(g.attempts));
    }
    for (const auto& g : sums.ports)
        ports_.row(g.name, g.detail).add(g.severity, static_cast<int>(g.attempts));
    for (const auto& g : sums.hours) hourRow(g.name).add(g.severity, static_cast<int>(g.attempts));
    for (const DatabaseSums::Units& u : sums.units) {
        if (u.byPort) {
            ports_.row(u.name, u.detail).addUnits(u.units, u.firstPass, u.written);
            continue;
        }
        for (Tally* t : {&images_.row(u.name, u.detail), &all_})
            t->addUnits(u.units, u.firstPass, u.written);
        summedUnits_ += u.units;
        unitsWritten_ += u.written;
    }
    // The histogram as the lines would fill it, with the shortest and longest times as they are.
    for (const DatabaseSums::Times& t : sums.times) {
        cycleTimes_.add(t.shortest);
        if (t.devices > 1) cycleTimes_.add(t.longest, t.devices - 1);
    }
    summedNotWritten_ = sums.unitsNotWritten;
    for (const long long id : sums.unread) unread_.push_back({file, id, false});
    for (const std::string* line : {&sums.firstLine, &sums.lastLine}) {
        if (const std::optional<Record> r = readRecordLine(*line)) noteStarted(r->started);
    }
}

void RecordsSummary::addNotSuccess(const DatabaseAttempt& attempt, size_t file) {
    std::optional<Record> r = readRecordLine(attempt.line);
    if (!r) return;
    if (attempt.unfinished) {
        unfinished_.push_back({file, attempt.id, false});
        closeUnfinished(*r);
    }
    if (keepAttempts_) attempts_.push_back(*r);
    addCause(*r);
    if (!attempt.unitWritten) withoutUnit_.push_back({attempt.id, std::move(*r)});
}

std::vector<Record> RecordsSummary::notWritten() const {
    std::vector<const Attempt*> attempts;
    for (const Attempt& a : withoutUnit_) attempts.push_back(&a);
    for (const Unit& unit : units_) {
        for (const Attempt& a : unit.attempts) attempts.push_back(&a);
    }
    std::ranges::sort(attempts, {}, &Attempt::order);
    std::vector<Record> list;
    for (const Attempt* a : attempts) list.push_back(a->record);
    return list;
}

std::vector<Record> RecordsSummary::attempts() const {
    // By the time itself: stations may write their times with more or fewer decimals.
    std::vector<std::pair<QDateTime, const Record*>> sorted;
    for (const Record& r : attempts_) {
        sorted.emplace_back(
            QDateTime::fromString(QString::fromStdString(r.started), Qt::ISODateWithMs), &r);
    }
    std::ranges::stable_sort(sorted, {}, &std::pair<QDateTime, const Record*>::first);
    std::vector<Record> list;
    for (const auto& [time, r] : sorted) list.push_back(*r);
    return list;
}

std::vector<std::string> RecordsSummary::unitsNotWritten() const {
    std::vector<std::pair<long long, const std::string*>> ids;
    for (const Unit& unit : units_) {
        if (!unit.written) ids.emplace_back(unit.firstSeen, &unit.id);
    }
    std::sort(ids.begin(), ids.end());
    std::vector<std::string> list;
    for (const auto& [order, id] : ids) list.push_back(*id);
    list.insert(list.end(), summedNotWritten_.begin(), summedNotWritten_.end());
    return list;
}

}  // namespace quorvel::cli

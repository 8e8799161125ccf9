#include "records_tallies.h"

#include <QDateTime>
#include <QString>
#include <algorithm>
#include <cmath>
#include <optional>

#include "diagnosis.h"

namespace quorvel::cli {

void Cause::add(const std::string& unit) {
    ++devices;
    if (!unit.empty() && std::find(units.begin(), units.end(), unit) != units.end()) return;
    if (!unit.empty() && units.size() < kListedUnits) {
        units.push_back(unit);
    } else {
        ++more;
    }
}

void CycleTimes::add(double seconds, long long devices) {
    if (!std::isfinite(seconds) || seconds < 0 || devices < 1) return;
    min_ = devices_ == 0 ? seconds : std::min(min_, seconds);
    max_ = devices_ == 0 ? seconds : std::max(max_, seconds);
    devices_ += devices;
    tenths_[static_cast<size_t>(std::min(seconds * 10, static_cast<double>(kTenths - 1)))] +=
        devices;
}

double CycleTimes::quantile(double share) const {
    if (devices_ == 0) return 0;
    const auto wanted = static_cast<long long>(std::ceil(share * static_cast<double>(devices_)));
    long long counted = 0;
    for (size_t t = 0; t < kTenths; ++t) {
        counted += tenths_[t];
        if (counted >= std::max(wanted, 1LL)) {
            // The bin's upper edge, within the times seen.
            return t + 1 == kTenths ? max_
                                    : std::clamp(static_cast<double>(t + 1) / 10, min_, max_);
        }
    }
    return max_;
}

std::vector<CycleTimes::Bin> CycleTimes::bins() const {
    if (devices_ == 0) return {};
    // The smallest round width, in tenths, that spans the times in at most kMostBins bins.
    const auto first = static_cast<long long>(std::min(min_ * 10, double(kTenths - 1)));
    const auto last = static_cast<long long>(std::min(max_ * 10, double(kTenths - 1)));
    long long width = 1;
    for (const long long step : {5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000}) {
        width = step;
        if ((last / step - first / step + 1) <= static_cast<long long>(kMostBins)) break;
    }
    std::vector<Bin> bins;
    for (long long from = first / width * width; from <= last; from += width) {
        long long devices = 0;
        for (long long t = from; t < std::min(from + width, static_cast<long long>(kTenths)); ++t) {
            devices += tenths_[static_cast<size_t>(t)];
        }
        bins.push_back(
            {static_cast<double>(from) / 10, static_cast<double>(from + width) / 10, devices});
    }
    return bins;
}

namespace {

// The hour of a time in the form stations write ("2026-03-02T08:00:01.120Z", or whole seconds),
// read without QDateTime, which takes longer than reading the record's line; empty for any other
// form, or a time that is none.
std::optional<std::string> utcHour(const std::string& t) {
    const size_t n = t.size();
    if ((n != 20 && n != 24) || t[n - 1] != 'Z' || (n == 24 && t[19] != '.')) return std::nullopt;
    const auto number = [&t](size_t from, size_t digits) {
        int value = 0;
        for (size_t i = from; i < from + digits; ++i) {
            if (t[i] < '0' || t[i] > '9') return -1;
            value = value * 10 + (t[i] - '0');
        }
        return value;
    };
    if (t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' ||
        (n == 24 && number(20, 3) < 0)) {
        return std::nullopt;
    }
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    const int second = number(17, 2);
    if (!QDate::isValid(number(0, 4), number(5, 2), number(8, 2)) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return t.substr(0, 13);
}

}  // namespace

std::string hourOf(const std::string& started) {
    if (std::optional<std::string> hour = utcHour(started)) return std::move(*hour);
    const QDateTime time =
        QDateTime::fromString(QString::fromStdString(started), Qt::ISODateWithMs);
    if (!time.isValid()) return {};
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH")).toStdString();
}

std::string answerOf(OutcomeSeverity severity, const std::string& cause,
                     const std::vector<std::string>& diagnosis) {
    if (severity == OutcomeSeverity::Interrupted) return OutcomeWord(severity);
    if (severity == OutcomeSeverity::Unconfirmed)
        return OutcomeWord(severity) + std::string(" answers");
    return cause.empty() ? answerKind(diagnosis) : cause;
}

}  // namespace quorvel::cli

#include "time_bounds.h"

#include <QString>

namespace quorvel::cli {
namespace {

QDateTime isoTime(const std::string& text) {
    QDateTime time = QDateTime::fromString(QString::fromStdString(text), Qt::ISODateWithMs);
    if (time.isValid() && time.timeSpec() == Qt::LocalTime) time.setTimeSpec(Qt::UTC);
    return time;
}

}  // namespace

bool TimeBounds::contains(const std::string& started) const {
    if (!since.isValid() && !until.isValid()) return true;
    const QDateTime time = isoTime(started);
    return time.isValid() && (!since.isValid() || time >= since) &&
           (!until.isValid() || time < until);
}

TimeBounds timeBounds(const std::string& since, const std::string& until, std::string& problem) {
    TimeBounds bounds;
    for (const auto& [text, bound, name] : {std::tuple{&since, &bounds.since, "--since"},
                                            std::tuple{&until, &bounds.until, "--until"}}) {
        if (text->empty()) continue;
        *bound = isoTime(*text);
        if (!bound->isValid()) {
            problem = std::string(name) +
                      " takes an ISO 8601 time such as 2026-03-02T08:00:00Z, not '" + *text + "'";
            return {};
        }
    }
    if (bounds.since.isValid() && bounds.until.isValid() && bounds.until <= bounds.since) {
        problem = "--until must come after --since";
        return {};
    }
    return bounds;
}

}  // namespace quorvel::cli

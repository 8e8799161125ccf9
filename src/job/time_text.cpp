#include "time_text.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace quorvel {

std::string utcText(std::chrono::system_clock::time_point at) {
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"))
        .toStdString();
}

std::string localTimeNow() {
    return QDateTime::currentDateTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toStdString();
}

std::string clockTimeNow() {
    return QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
}

}  // namespace quorvel

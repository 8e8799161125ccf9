#include "time_text.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <algorithm>
#include <cstdio>

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

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string minutesText(long long seconds) {
    seconds = std::max(0LL, seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

}  // namespace quorvel

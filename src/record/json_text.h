#pragma once
// Texts of the tools' own (UTF-8) as JSON strings, for the record's lines and every report:
// bytes that are not UTF-8 become U+FFFD, so that the output is always valid JSON.

#include <QJsonValue>
#include <QString>
#include <string_view>

namespace quorvel {

inline QJsonValue jsonText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The same, or null for an empty text (no unit, no cause, nothing to warn of).
inline QJsonValue jsonTextOrNull(std::string_view text) {
    return text.empty() ? QJsonValue() : jsonText(text);
}

}  // namespace quorvel

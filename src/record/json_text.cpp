#include "json_text.h"

#include <QString>

namespace quorvel {

QJsonValue jsonText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonValue jsonTextOrNull(std::string_view text) {
    return text.empty() ? QJsonValue() : jsonText(text);
}

}  // namespace quorvel

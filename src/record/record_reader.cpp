#include "record_reader.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>
#include <variant>

namespace quorvel {
namespace {

// Every string in `value`, names of members included, is whole UTF-16. Qt keeps an escaped half
// of a surrogate pair that comes without its other half ("\ud800"), which is no character.
bool wholeText(const QJsonValue& value) {
    if (value.isString()) return value.toString().isValidUtf16();
    if (value.isArray()) {
        const QJsonArray items = value.toArray();
        return std::all_of(items.begin(), items.end(),
                           [](const QJsonValue& item) { return wholeText(item); });
    }
    if (value.isObject()) {
        const QJsonObject members = value.toObject();
        for (auto it = members.begin(); it != members.end(); ++it) {
            if (!it.key().isValidUtf16() || !wholeText(it.value())) return false;
        }
    }
    return true;
}

// Qt reads an escape that JSON does not have ("\\q") as the character itself. In a document Qt
// took, backslashes stand only inside strings, each one starting an escape, so the escapes can
// be checked pair by pair.
bool knownEscapes(const QByteArray& text) {
    constexpr std::string_view kEscaped = "\"\\/bfnrtu";
    for (qsizetype at = text.indexOf('\\'); at >= 0; at = text.indexOf('\\', at + 2)) {
        if (at + 1 >= text.size() || kEscaped.find(text[at + 1]) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// The object that is the whole line, if it is one. Qt also takes control characters written as
// they are inside a string, which JSON does not: tab, CR and LF may only stand between the
// tokens, so with them made spaces the document must stay the same; the others may not appear.
std::optional<QJsonObject> lineObject(std::string_view line) {
    const QByteArray text(line.data(), qsizetype(line.size()));
    QByteArray blanked = text;
    std::replace_if(
        blanked.begin(), blanked.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
        ' ');
    if (std::any_of(blanked.begin(), blanked.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(blanked, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    if (blanked != text && QJsonDocument::fromJson(text) != document) return std::nullopt;
    if (!knownEscapes(text) || !wholeText(document.object())) return std::nullopt;
    return document.object();
}

// Whether the line's `value` at `key` is as the record needs it to be.
bool meets(const RecordKey& key, const QJsonValue& value, bool opening) {
    switch (key.need) {
        case KeyNeed::Nothing:
            return true;
        case KeyNeed::Text:
            return value.isString();
        case KeyNeed::TextWhenStarted:
            return !opening || value.isString();
        case KeyNeed::TextWhenFinal:
            return opening || value.isString();
        case KeyNeed::TextsIfGivenFinal:
            if (opening || value.isUndefined() || value.isNull()) return true;
            if (!value.isArray()) return false;
            for (const QJsonValue& item : value.toArray()) {
                if (!item.isString()) return false;
            }
            return true;
    }
    return false;
}

// Takes the line's `value` at `key` into the record; texts that are not strings (a list where
// warnings should be) are passed over, since they only inform.
void take(Record& r, const RecordKey& key, const QJsonValue& value) {
    std::visit(
        [&](auto member) {
            auto& field = r.*member;
            using V = std::decay_t<decltype(field)>;
            if constexpr (std::is_same_v<V, std::string>) {
                field = value.toString().toStdString();
            } else if constexpr (std::is_same_v<V, bool>) {
                field = value == QJsonValue(kStartedEvent);
            } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
                field.clear();
                for (const QJsonValue& item : value.toArray()) {
                    if (item.isString()) field.push_back(item.toString().toStdString());
                }
            } else if constexpr (std::is_same_v<V, std::optional<int>>) {
                // A count is a whole number in range; anything else is no count.
                const double n = value.toDouble(-1);
                const bool count = value.isDouble() && n >= 0 && n <= INT_MAX && n == std::floor(n);
                field = count ? std::optional<int>(static_cast<int>(n)) : std::nullopt;
            } else {
                field = value.isDouble() ? std::optional<double>(value.toDouble()) : std::nullopt;
            }
        },
        key.member);
}

}  // namespace

std::optional<Record> readRecordLine(std::string_view line) {
    const std::optional<QJsonObject> object = lineObject(line);
    if (!object) return std::nullopt;
    Record r;
    // The event first: what the other keys must hold depends on it.
    for (const RecordKey& key : RecordKeys()) {
        if (key.type == KeyType::Event) take(r, key, (*object)[key.name]);
    }
    for (const RecordKey& key : RecordKeys()) {
        const QJsonValue value = (*object)[key.name];
        if (!meets(key, value, r.opening)) return std::nullopt;
        take(r, key, value);
    }
    if (r.opening) return r.attempt.empty() ? std::nullopt : std::optional<Record>(r);
    const std::optional<OutcomeSeverity> severity = SeverityNamed(r.outcome);
    if (!severity) return std::nullopt;
    r.severity = *severity;
    return r;
}

}  // namespace quorvel

#include "device_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include "json_text.h"

namespace quorvel {
namespace {

using R = Record;
using T = KeyType;
using N = KeyNeed;

// In the order of docs/record.md, which is also the order of the spreadsheet's columns.
const RecordKey kKeys[] = {
    {"attempt", &R::attempt, T::OptionalText, true, N::TextWhenStarted},
    {"event", &R::opening, T::Event, true, N::Nothing},
    {"started", &R::started, T::Time, true, N::Nothing},
    {"ended", &R::ended, T::Time, false, N::Nothing},
    {"tool_version", &R::toolVersion, T::Text, true, N::Nothing},
    {"host", &R::host, T::Text, true, N::Nothing},
    {"port", &R::port, T::Text, true, N::Text},
    {"unit", &R::unit, T::OptionalText, true, N::Nothing},
    {"device", &R::device, T::OptionalText, true, N::Nothing},
    {"usb_serial", &R::usbSerial, T::OptionalText, true, N::Nothing},
    {"profile", &R::profile, T::LineText, true, N::Nothing},
    // A unit written without knowing whether the record shows it written already: its
    // database could not be asked.
    {"unit_check", &R::unitCheck, T::LineText, true, N::Nothing},
    {"image", &R::image, T::Text, true, N::Text},
    {"sha256", &R::sha256, T::Text, true, N::Text},
    {"checksum", &R::checksum, T::Text, true, N::Nothing},
    {"outcome", &R::outcome, T::Text, false, N::TextWhenFinal},
    {"failed_step", &R::failedStep, T::OptionalText, false, N::Nothing},
    {"cause", &R::cause, T::OptionalText, false, N::Nothing},
    {"diagnosis", &R::diagnosis, T::TextList, false, N::TextsIfGivenFinal},
    {"warnings", &R::warnings, T::TextList, false, N::Nothing},
    {"blocks_written", &R::blocksWritten, T::Int, false, N::Nothing},
    {"blocks_unconfirmed", &R::blocksUnconfirmed, T::Int, false, N::Nothing},
    {"device_state", &R::deviceState, T::OptionalText, false, N::Nothing},
    // The shortest text that reads back as the same double: a connect refused at once takes
    // well under a millisecond, and must not be recorded as taking no time.
    {"seconds", &R::seconds, T::Double, false, N::Nothing},
};

// The value of `key` in the record's line; `started` on its started line.
QJsonValue valueOf(const Record& r, const RecordKey& key, bool started) {
    return std::visit(
        [&](auto member) -> QJsonValue {
            const auto& value = r.*member;
            using V = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<V, std::string>) {
                if (key.type == T::OptionalText || key.type == T::LineText)
                    return jsonTextOrNull(value);
                return jsonText(value);
            } else if constexpr (std::is_same_v<V, bool>) {
                return started ? kStartedEvent : kEndedEvent;
            } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
                QJsonArray list;
                for (const std::string& line : value) list.append(jsonText(line));
                return list;
            } else {
                return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
            }
        },
        key.member);
}

std::string line(const Record& r, bool started) {
    QJsonObject object;
    for (const RecordKey& key : kKeys) {
        if (key.onStarted || !started) object.insert(key.name, valueOf(r, key, started));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

std::span<const RecordKey> RecordKeys() {
    return kKeys;
}

std::string newAttemptId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

std::string startedLine(const Record& r) {
    return line(r, true);
}

std::string recordLine(const Record& r) {
    return line(r, false);
}

}  // namespace quorvel

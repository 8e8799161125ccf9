#include "device_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QUuid>

namespace quorvel {
namespace {

QJsonValue textOrNull(const std::optional<std::string>& text) {
    return text ? QJsonValue(QString::fromStdString(*text)) : QJsonValue(QJsonValue::Null);
}

QString text(const std::string& text) {
    return QString::fromStdString(text);
}

// The keys that name the attempt, the same on its started and its final line.
QJsonObject attemptKeys(const DeviceRecord& r, const char* event) {
    return {
        {"attempt", r.attempt.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text(r.attempt))},
        {"event", event},
        {"started", text(r.started)},
        {"tool_version", text(r.toolVersion)},
        {"host", text(r.host)},
        {"port", text(r.port)},
        {"unit", textOrNull(r.unit)},
        {"device", textOrNull(r.device)},
        {"usb_serial", textOrNull(r.usbSerial)},
        {"image", text(r.image)},
        {"sha256", text(r.sha256)},
        {"checksum", text(r.checksum)},
    };
}

}  // namespace

std::string newAttemptId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

std::string startedLine(const DeviceRecord& r) {
    return QJsonDocument(attemptKeys(r, "started")).toJson(QJsonDocument::Compact).toStdString();
}

std::string recordLine(const DeviceRecord& r) {
    QJsonArray diagnosis;
    for (const std::string& line : r.diagnosis) diagnosis.append(QString::fromStdString(line));
    QJsonArray warnings;
    for (const std::string& line : r.warnings) warnings.append(QString::fromStdString(line));
    QJsonObject record = attemptKeys(r, "ended");
    const QJsonObject ending{
        {"ended", text(r.ended)},
        {"outcome", text(r.outcome)},
        {"failed_step", textOrNull(r.failedStep)},
        {"cause", textOrNull(r.cause)},
        {"diagnosis", diagnosis},
        {"warnings", warnings},
        {"blocks_written", r.blocksWritten},
        {"blocks_unconfirmed", r.blocksUnconfirmed},
        {"device_state", textOrNull(r.deviceState)},
        // The shortest text that reads back as the same double: a connect refused at once
        // takes well under a millisecond, and must not be recorded as taking no time.
        {"seconds", r.seconds},
    };
    for (auto it = ending.begin(); it != ending.end(); ++it) record.insert(it.key(), it.value());
    return QJsonDocument(record).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace quorvel

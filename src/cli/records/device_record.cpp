#include "device_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace quorvel::cli {
namespace {

QJsonValue textOrNull(const std::optional<std::string>& text) {
    return text ? QJsonValue(QString::fromStdString(*text)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

std::string recordLine(const DeviceRecord& r) {
    QJsonArray diagnosis;
    for (const std::string& line : r.diagnosis) diagnosis.append(QString::fromStdString(line));
    QJsonArray warnings;
    for (const std::string& line : r.warnings) warnings.append(QString::fromStdString(line));
    const QJsonObject record{
        {"started", QString::fromStdString(r.started)},
        {"ended", QString::fromStdString(r.ended)},
        {"tool_version", QString::fromStdString(r.toolVersion)},
        {"host", QString::fromStdString(r.host)},
        {"port", QString::fromStdString(r.port)},
        {"unit", textOrNull(r.unit)},
        {"device", textOrNull(r.device)},
        {"usb_serial", textOrNull(r.usbSerial)},
        {"image", QString::fromStdString(r.image)},
        {"sha256", QString::fromStdString(r.sha256)},
        {"checksum", QString::fromStdString(r.checksum)},
        {"outcome", QString::fromStdString(r.outcome)},
        {"failed_step", textOrNull(r.failedStep)},
        {"diagnosis", diagnosis},
        {"warnings", warnings},
        {"blocks_written", r.blocksWritten},
        {"blocks_unconfirmed", r.blocksUnconfirmed},
        {"device_state", textOrNull(r.deviceState)},
        // The shortest text that reads back as the same double: a connect refused at once
        // takes well under a millisecond, and must not be recorded as taking no time.
        {"seconds", r.seconds},
    };
    return QJsonDocument(record).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace quorvel::cli

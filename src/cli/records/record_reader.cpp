#include "record_reader.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <string_view>

namespace quorvel::cli {
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

}  // namespace

std::optional<ReadRecord> readRecordLine(std::string_view line) {
    const std::optional<QJsonObject> object = lineObject(line);
    if (!object) return std::nullopt;
    const auto text = [&](const char* key) { return (*object)[key].toString().toStdString(); };
    ReadRecord r;
    r.opening = (*object)["event"] == QJsonValue("started");
    for (const char* key : {"port", "image", "sha256", r.opening ? "attempt" : "outcome"}) {
        if (!(*object)[key].isString()) return std::nullopt;
    }
    r.attempt = text("attempt");
    r.started = text("started");
    r.ended = text("ended");
    r.host = text("host");
    r.port = text("port");
    r.unit = text("unit");
    r.image = text("image");
    r.sha256 = text("sha256");
    r.outcome = text("outcome");
    r.failedStep = text("failed_step");
    r.cause = text("cause");
    if (r.opening) return r.attempt.empty() ? std::nullopt : std::optional<ReadRecord>(r);
    const OutcomeFacts* outcome = OutcomeNamed(r.outcome);
    if (outcome == nullptr) return std::nullopt;
    r.severity = outcome->severity;
    const QJsonValue diagnosis = (*object)["diagnosis"];
    if (!diagnosis.isUndefined() && !diagnosis.isNull()) {
        if (!diagnosis.isArray()) return std::nullopt;
        for (const QJsonValue& why : diagnosis.toArray()) {
            if (!why.isString()) return std::nullopt;
            r.diagnosis.push_back(why.toString().toStdString());
        }
    }
    r.toolVersion = text("tool_version");
    r.device = text("device");
    r.usbSerial = text("usb_serial");
    r.profile = text("profile");
    r.checksum = text("checksum");
    r.deviceState = text("device_state");
    // Warnings only inform: a line whose warnings are not texts is still the record of a write.
    for (const QJsonValue& warning : (*object)["warnings"].toArray()) {
        if (warning.isString()) r.warnings.push_back(warning.toString().toStdString());
    }
    const auto number = [&](const char* key) -> std::optional<double> {
        const QJsonValue value = (*object)[key];
        if (!value.isDouble()) return std::nullopt;
        return value.toDouble();
    };
    r.blocksWritten = number("blocks_written");
    r.blocksUnconfirmed = number("blocks_unconfirmed");
    r.seconds = number("seconds");
    return r;
}

}  // namespace quorvel::cli

#include "device_result.h"

#include <QFile>
#include <cmath>

#include "diagnosis.h"
#include "hex_text.h"
#include "json_text.h"
#include "pin_answer.h"
#include "port_description.h"
#include "rewrite_report.h"

namespace quorvel {
namespace {

// What went wrong: where the run was stopped, or the failed step and what it saw.
void diagnose(DeviceResult& r) {
    if (!r.interruption.empty()) {
        r.diagnosis = {r.interruption};
    } else if (const StepRecord* failed = r.failedStep()) {
        r.diagnosis = {failureLine(*failed)};
        for (std::string& why : explainFailure(*failed, r.settings.loader))
            r.diagnosis.push_back(std::move(why));
    }
}

// Each step's object, every key always, null where the step judged no reply; and the answers
// that were taken without confirming their frames, with the step and what they said.
void addStepsJson(QJsonObject& json, const std::vector<StepRecord>& steps) {
    QJsonArray list;
    QJsonArray unconfirmed;
    for (const StepRecord& s : steps) {
        const QJsonValue name = jsonText(StepName(s.step));
        const ExchangeDiagnostics& seen = s.seen;
        const auto number = [](bool known, int64_t value) {
            return known ? QJsonValue(static_cast<qint64>(value)) : QJsonValue();
        };
        QJsonArray echoes;
        for (const UnconfirmedAnswer& a : s.unconfirmed) {
            if (!a.repeated) echoes.append(a.row < 0 ? -1 : a.row * 16);
            unconfirmed.append(
                QJsonObject{{"step", name},
                            {"address", a.row < 0 ? QJsonValue() : QJsonValue(a.row * kRowBytes)},
                            {"answer", jsonText(hexBytes(std::span<const uint8_t>(&a.answer, 1)))},
                            {"repeated", a.repeated}});
        }
        const bool read = seen.judged && seen.statusPosition >= 0;
        list.append(QJsonObject{
            {"step", name},
            {"status", s.status},
            {"accepted", s.accepted},
            {"ms", jsonMilliseconds(s.ms)},
            {"attempts", seen.attempts},
            {"reply_bytes", number(seen.judged, seen.receivedBytes)},
            {"timed_out", seen.judged ? QJsonValue(seen.timedOut) : QJsonValue()},
            {"late_bytes", number(seen.judged && seen.timedOut, seen.lateBytes)},
            {"status_position", number(read, seen.statusPosition)},
            {"status_bytes", read ? jsonText(hexBytes(seen.statusBytes)) : QJsonValue()},
            {"answers_not_echoed", echoes},
            {"port_error", jsonTextOrNull(s.portError)}});
    }
    json["steps"] = list;
    json["unconfirmed"] = unconfirmed;
}

// The device's part of the JSON report (docs/json.md); `echo` warns of answers that did not
// repeat their frames.
QJsonObject deviceJson(const DeviceResult& r, const std::string& echo) {
    const StepRecord* failed = r.failedStep();
    const std::string device = resolvedDevice(r.settings);
    QJsonObject json{
        {"port", jsonPath(r.port)},
        {"unit", jsonTextOrNull(r.unit)},
        {"device", device.empty() ? QJsonValue() : jsonPath(device)},
        {"outcome", jsonText(r.outcome().name)},
        {"device_state", r.rewrite ? jsonTextOrNull(r.deviceState) : QJsonValue()},
        {"warnings", jsonTexts(r.warnings)},
        {"message", r.rewrite ? jsonText(r.outcome().windowText) : QJsonValue()},
        {"failed_step", failed != nullptr ? jsonText(StepName(failed->step)) : QJsonValue()},
        {"diagnosis", jsonTexts(r.diagnosis)},
        {"warning", jsonTextOrNull(echo)},
        {"bytes_sent", static_cast<qint64>(r.bytesSent)},
        {"bytes_received", static_cast<qint64>(r.bytesReceived)},
        {"total_ms", jsonMilliseconds(r.ms)}};
    addStepsJson(json, r.steps);
    return json;
}

}  // namespace

void SettleRewrite(DeviceResult& r, RewriteResult write, const MemoryImage& image,
                   const std::string& again, StopCause cause) {
    r.rewrite = write.outcome;
    r.severity = Outcome(write.outcome).severity;
    r.deviceState = RewriteDeviceState(write, image, again);
    r.warnings = RewriteWarnings(write);
    r.unconfirmed = std::move(write.unconfirmed);
    r.steps = std::move(write.steps);
    if (r.severity == OutcomeSeverity::Interrupted) {
        r.interruption = interruptionReport(true, r.steps, image, cause);
        r.deviceState = r.interruption;
    }
    diagnose(r);
}

void SettleStep(DeviceResult& r, const MemoryImage& image, bool urgent, StopCause cause) {
    const StepRecord& step = r.steps.back();
    if (step.step == Step::Pin) r.answer = pinAnswer(step.status).text;
    if (urgent || step.seen.stopped)
        r.interruption = interruptionReport(false, r.steps, image, cause);
    r.severity = step.accepted            ? OutcomeSeverity::Success
                 : r.interruption.empty() ? OutcomeSeverity::Failure
                                          : OutcomeSeverity::Interrupted;
    diagnose(r);
}

DeviceReport ReportDevice(const DeviceResult& r, bool alone) {
    DeviceReport report;
    const std::string echo = echoWarning(r.steps);
    if (!r.answer.empty()) report.text.push_back(r.answer);
    if (r.rewrite) {
        report.text.emplace_back(r.outcome().headline);
        report.message = r.outcome().windowText;
        report.unconfirmed = UnconfirmedLines(r.steps, kListedUnconfirmed);
    }
    if (!echo.empty()) report.warnings.push_back(echo);
    if (!r.transcriptFailure.empty()) report.warnings.push_back(r.transcriptFailure);
    report.warnings.insert(report.warnings.end(), r.warnings.begin(), r.warnings.end());
    if (!r.ok()) {
        report.wentWrong = r.diagnosis;
        if (r.interruption.empty() && !r.deviceState.empty())
            report.wentWrong.push_back(r.deviceState);
        if (alone) report.port = describePort(r.settings);
    }
    report.json = deviceJson(r, echo);
    return report;
}

QJsonValue jsonPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QJsonValue jsonMilliseconds(double ms) {
    return std::round(ms * 10) / 10;
}

QJsonArray jsonTexts(const std::vector<std::string>& texts) {
    QJsonArray list;
    for (const std::string& t : texts) list.append(jsonText(t));
    return list;
}

}  // namespace quorvel

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

// Every key always, null where the step judged no reply.
QJsonObject stepJson(const StepRecord& s) {
    const ExchangeDiagnostics& seen = s.seen;
    const auto number = [](bool known, int64_t value) {
        return known ? QJsonValue(static_cast<qint64>(value)) : QJsonValue();
    };
    QJsonArray echoes;
    for (const UnconfirmedAnswer& a : s.unconfirmed) {
        if (!a.repeated) echoes.append(a.row < 0 ? -1 : a.row * 16);
    }
    const bool read = seen.judged && seen.statusPosition >= 0;
    return {{"step", jsonText(StepName(s.step))},
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
            {"port_error", jsonTextOrNull(s.portError)}};
}

// The answers that were taken without confirming their frames, with the step and what they said.
QJsonArray unconfirmedJson(const std::vector<StepRecord>& steps) {
    QJsonArray list;
    for (const StepRecord& s : steps) {
        for (const UnconfirmedAnswer& a : s.unconfirmed) {
            list.append(
                QJsonObject{{"step", jsonText(StepName(s.step))},
                            {"address", a.row < 0 ? QJsonValue() : QJsonValue(a.row * kRowBytes)},
                            {"answer", jsonText(hexBytes(std::span<const uint8_t>(&a.answer, 1)))},
                            {"repeated", a.repeated}});
        }
    }
    return list;
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

std::vector<std::string> whatWentWrong(const DeviceResult& r) {
    if (r.ok()) return {};
    std::vector<std::string> lines = r.diagnosis;
    if (r.interruption.empty() && !r.deviceState.empty()) lines.push_back(r.deviceState);
    return lines;
}

std::vector<std::string> warningsOf(const DeviceResult& r) {
    std::vector<std::string> warnings;
    if (std::string echo = echoWarning(r.steps); !echo.empty()) warnings.push_back(std::move(echo));
    if (!r.transcriptFailure.empty()) warnings.push_back(r.transcriptFailure);
    warnings.insert(warnings.end(), r.warnings.begin(), r.warnings.end());
    return warnings;
}

QJsonObject deviceJson(const DeviceResult& r) {
    const StepRecord* failed = r.failedStep();
    QJsonArray steps;
    for (const StepRecord& s : r.steps) steps.append(stepJson(s));
    const std::string device = resolvedDevice(r.settings);
    return {{"port", jsonPath(r.port)},
            {"unit", jsonTextOrNull(r.unit)},
            {"device", device.empty() ? QJsonValue() : jsonPath(device)},
            {"outcome", jsonText(r.outcome().name)},
            {"device_state", r.rewrite ? jsonTextOrNull(r.deviceState) : QJsonValue()},
            {"warnings", jsonTexts(r.warnings)},
            {"unconfirmed", unconfirmedJson(r.steps)},
            {"message", r.rewrite ? jsonText(r.outcome().windowText) : QJsonValue()},
            {"failed_step", failed != nullptr ? jsonText(StepName(failed->step)) : QJsonValue()},
            {"diagnosis", jsonTexts(r.diagnosis)},
            {"warning", jsonTextOrNull(echoWarning(r.steps))},
            {"steps", steps},
            {"bytes_sent", static_cast<qint64>(r.bytesSent)},
            {"bytes_received", static_cast<qint64>(r.bytesReceived)},
            {"total_ms", jsonMilliseconds(r.ms)}};
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

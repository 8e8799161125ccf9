#include "device_report.h"

#include <chrono>
#include <cstdio>

#include "block_walk.h"
#include "device_options.h"
#include "diagnosis.h"
#include "hex_text.h"
#include "port_description.h"
#include "rewrite_report.h"
#include "walk_progress.h"
#include "write_consent.h"

namespace quorvel::cli {
namespace {

// Every key always, null where the step judged no reply.
QJsonObject stepJson(const StepRecord& s) {
    const ExchangeDiagnostics& seen = s.seen;
    const auto number = [](bool known, int64_t value) {
        return known ? QJsonValue(static_cast<qint64>(value)) : QJsonValue();
    };
    QJsonArray echoes;
    for (int row : s.notEchoed) echoes.append(row < 0 ? -1 : row * 16);
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

bool startRecord(Record& line, RecordSink* file, const ExchangeSettings& settings,
                 const std::string& unit, const ImageFacts& facts, const std::string& profile,
                 const std::string& unitCheck) {
    const std::string port = portName(settings);
    line = BeginRecord(settings, port, unit, facts);
    if (!profile.empty()) line.profile = profile;
    line.unitCheck = unitCheck;
    return file == nullptr || file->appendStarted(line);
}

void keepRecord(DeviceResult& r, RecordSink* file, Record line, const MemoryImage& image) {
    if (file == nullptr) return;
    EndRecord(line, r.outcome(), r.steps, image, r.diagnosis, r.deviceState, r.warnings,
              r.ms / 1000);
    if (!file->append(line)) r.recordFailure = file->failure();
}

CommandResult oneDeviceResult(const DeviceResult& result, const Command& command,
                              const CliOptions& options, const std::optional<ImageFacts>& image) {
    CommandResult r;
    r.endAs(result.severity);
    if (result.rewrite) r.message = result.outcome().windowText;
    if (!result.answer.empty()) r.result = jsonText(result.answer);
    r.image = image;
    r.devices = {deviceJson(result)};
    for (const std::string& warning : warningsOf(result)) r.note("warning: " + warning);
    if (result.rewrite) {
        for (const std::string& line : UnconfirmedLines(result.steps, kListedUnconfirmed)) {
            r.note("  " + line);
        }
    }
    // The outcome is the result, success or not; what went wrong goes with the errors.
    if (!result.answer.empty()) r.text.push_back(result.answer);
    if (result.rewrite) r.text.emplace_back(result.outcome().headline);
    if (!result.ok()) {
        // Named at the start too; a failure names it again, right beside what went wrong.
        r.note("port " + describePort(result.settings));
        for (const std::string& line : whatWentWrong(result)) r.note(line);
    }
    if (command.writesFlash() && options.showsProgress()) {
        r.note(options.command + " took " + secondsText(result.ms / 1000));
    }
    return r;
}

void markRecordLost(CommandResult& result, const std::string& failure) {
    if (failure.empty()) return;
    result.recordError = failure;
    result.note("error: " + failure + "; this write is not recorded");
    if (result.exitCode == kExitOk || result.exitCode == kExitUnconfirmed) {
        result.outcome = "record_lost";
        result.exitCode = kExitRecordLost;
    }
}

}  // namespace quorvel::cli

#include "json_run.h"

#include <QJsonDocument>
#include <chrono>
#include <optional>

#include "command_result.h"
#include "quorvel_version.h"
#include "time_text.h"

namespace quorvel::cli {
namespace {

struct RunClock {
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point clock = std::chrono::steady_clock::now();
};

const RunClock& runClock() {
    static const RunClock clock;
    return clock;
}

// The facts as the report's image object.
QJsonObject imageJson(const ImageFacts& f) {
    return {{"path", jsonPath(f.path)},
            {"sha256", jsonText(f.sha256)},
            {"checksum", jsonText(f.checksum)},
            {"blocks", f.blocks},
            {"warnings", jsonTexts(f.warnings)}};
}

}  // namespace

void startRunClock() {
    runClock();
}

std::string runJson(const CommandResult& r, const std::string& command) {
    const RunClock& run = runClock();
    const auto orNull = [](const std::optional<std::string>& text) {
        return text ? jsonText(*text) : QJsonValue();
    };
    const auto ended = std::chrono::system_clock::now();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - run.clock)
            .count();
    const QJsonObject object{
        {"schema", kJsonSchema},
        {"tool", "quorvel-flash"},
        {"version", kVersion},
        {"command", jsonTextOrNull(command)},
        {"outcome", jsonText(outcomeOfExit(r.exitCode))},
        {"exit_code", r.exitCode},
        {"message", orNull(r.message)},
        {"error", orNull(r.error)},
        {"record_error", orNull(r.recordError)},
        {"result", r.result},
        {"image", r.image ? QJsonValue(imageJson(*r.image)) : QJsonValue()},
        {"devices", r.devices},
        {"started", jsonText(utcText(run.started))},
        {"ended", jsonText(utcText(ended))},
        {"total_ms", jsonMilliseconds(ms)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace quorvel::cli

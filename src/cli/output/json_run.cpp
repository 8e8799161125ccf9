#include "json_run.h"

#include <QFile>
#include <QJsonDocument>
#include <chrono>
#include <cmath>
#include <optional>

#include "block_walk.h"
#include "command_result.h"
#include "image_file_read.h"
#include "image_identity.h"
#include "quorvel_version.h"
#include "range_checksum.h"
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

}  // namespace

void startRunClock() {
    runClock();
}

QJsonValue jsonText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonValue jsonTextOrNull(const std::optional<std::string>& text) {
    return text ? jsonText(*text) : QJsonValue();
}

QJsonValue jsonTextOrNull(const std::string& text) {
    return text.empty() ? QJsonValue() : jsonText(text);
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

QJsonObject imageJson(const ImageFacts& f) {
    return {{"path", jsonPath(f.path)},
            {"sha256", jsonText(f.sha256)},
            {"checksum", jsonText(f.checksum)},
            {"blocks", f.blocks},
            {"warnings", jsonTexts(f.warnings)}};
}

std::string runJson(const CommandResult& r, const std::string& command) {
    const RunClock& run = runClock();
    const auto ended = std::chrono::system_clock::now();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - run.clock)
            .count();
    const QJsonObject object{
        {"schema", kJsonSchema},
        {"tool", "quorvel-flash"},
        {"version", kVersion},
        {"command", jsonTextOrNull(command)},
        {"outcome", jsonText(r.outcome)},
        {"exit_code", r.exitCode},
        {"message", jsonTextOrNull(r.message)},
        {"error", jsonTextOrNull(r.error)},
        {"record_error", jsonTextOrNull(r.recordError)},
        {"result", r.result},
        {"image", r.image ? QJsonValue(imageJson(*r.image)) : QJsonValue()},
        {"devices", r.devices},
        {"started", jsonText(utcText(run.started))},
        {"ended", jsonText(utcText(ended))},
        {"total_ms", jsonMilliseconds(ms)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

namespace {

// The bytes are hashed only when a report asks for the facts: `dump` needs no SHA-256, and
// hashing the largest image would cost more than the rest of its run.
struct LoadedFile {
    std::string path;
    std::string bytes;
    std::optional<std::string> sha256;
    std::vector<std::string> warnings;
};

LoadedFile& loadedFile() {
    static LoadedFile file;
    return file;
}

}  // namespace

void noteLoadedBytes(const std::string& path, std::string_view bytes,
                     std::vector<std::string> warnings) {
    loadedFile() = {path, std::string(bytes), std::nullopt, std::move(warnings)};
}

ImageFacts imageFacts(const std::string& path, const MemoryImage& image) {
    ImageFacts facts;
    facts.path = path;
    std::string bytes;
    if (LoadedFile& loaded = loadedFile(); loaded.path == path) {
        if (!loaded.sha256) loaded.sha256 = sha256Hex(loaded.bytes);
        facts.sha256 = *loaded.sha256;
        facts.warnings = loadedFile().warnings;
    } else if (readImageFileText(path, bytes)) {
        facts.sha256 = sha256Hex(bytes);
    }
    facts.checksum = RangeChecksum(image, "C000", "FFFF").text;
    facts.blocks = countBlocksToSend(image);
    return facts;
}

}  // namespace quorvel::cli

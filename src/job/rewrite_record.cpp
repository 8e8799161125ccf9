#include "rewrite_record.h"

#include <QSysInfo>
#include <chrono>

#include "block_walk.h"
#include "diagnosis.h"
#include "port_description.h"
#include "quorvel_version.h"
#include "time_text.h"

namespace quorvel {
Record BeginRecord(const ExchangeSettings& settings, const std::string& port,
                   const std::string& unit, const ImageFacts& image) {
    Record line;
    line.attempt = newAttemptId();
    line.started = utcText(std::chrono::system_clock::now());
    line.toolVersion = kVersion;
    line.host = QSysInfo::machineHostName().toStdString();
    line.port = port;
    line.unit = unit;
    line.device = resolvedDevice(settings);
    line.usbSerial = usbSerialNumber(settings);
    line.image = image.path;
    line.sha256 = image.sha256;
    line.checksum = image.checksum;
    line.warnings = image.warnings;
    return line;
}

void EndRecord(Record& line, const OutcomeFacts& outcome, const std::vector<StepRecord>& steps,
               const MemoryImage& image, std::vector<std::string> diagnosis,
               const std::string& deviceState, const std::vector<std::string>& warnings,
               double seconds) {
    line.ended = utcText(std::chrono::system_clock::now());
    line.warnings.insert(line.warnings.end(), warnings.begin(), warnings.end());
    line.outcome = outcome.name;
    if (!outcome.wentThrough() && !steps.empty()) {
        line.failedStep = StepName(steps.back().step);
        line.cause = AnswerKind(steps.back());
    }
    line.diagnosis = std::move(diagnosis);
    line.blocksWritten = blocksAccepted(steps, image);
    int unconfirmed = 0;
    for (const StepRecord& step : steps) {
        for (const UnconfirmedAnswer& a : step.unconfirmed) unconfirmed += a.row >= 0;
    }
    line.blocksUnconfirmed = unconfirmed;
    line.deviceState = deviceState;
    line.seconds = seconds;
}

int blocksAccepted(const std::vector<StepRecord>& steps, const MemoryImage& image) {
    int blocks = 0;
    for (const StepRecord& step : steps) {
        if (step.step != Step::Program) continue;
        blocks +=
            step.accepted ? countBlocksToSend(image) : countBlocksBefore(image, step.seen.row);
    }
    return blocks;
}

}  // namespace quorvel

#include "session_record.h"

#include <QString>
#include <QSysInfo>
#include <chrono>

#include "block_walk.h"
#include "device_options.h"
#include "port_description.h"
#include "quorvel_version.h"
#include "time_text.h"

namespace quorvel::cli {
namespace {

std::optional<std::string> unlessEmpty(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

}  // namespace

int blocksAccepted(const std::vector<StepRecord>& steps, const MemoryImage& image) {
    int blocks = 0;
    for (const StepRecord& step : steps) {
        if (step.step != Step::Program) continue;
        if (step.accepted) {
            blocks += countBlocksToSend(image);
            continue;
        }
        // The walk sends the blocks in ascending order and ends on the one not accepted.
        for (const int start : programBlockStarts()) {
            if (start < step.seen.row && blockHasData(image, start)) ++blocks;
        }
    }
    return blocks;
}

DeviceRecord sessionRecord(const DeviceSession& session, bool ok, const ImageFacts& facts,
                           const MemoryImage& image) {
    const auto ended = std::chrono::system_clock::now();
    const double ms = session.elapsedMs();
    const auto started = ended - std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                     std::chrono::duration<double, std::milli>(ms));
    DeviceRecord r;
    r.started = utcText(started);
    r.ended = utcText(ended);
    r.toolVersion = kVersion;
    r.host = QSysInfo::machineHostName().toStdString();
    r.port = portName(session.settings());
    r.unit = unlessEmpty(session.unit());
    r.device = unlessEmpty(resolvedDevice(session.settings()));
    r.usbSerial = unlessEmpty(usbSerialNumber(session.settings()));
    r.image = facts.path;
    r.sha256 = facts.sha256;
    r.checksum = facts.checksum;
    r.warnings = facts.warnings;
    const std::vector<StepRecord>& steps = session.steps();
    const bool interrupted = !session.interruption().empty();
    r.outcome = session.outcomeName(ok);
    if (!ok && !steps.empty()) r.failedStep = StepName(steps.back().step);
    if (interrupted) {
        r.diagnosis = {session.interruption()};
    } else if (!ok && !steps.empty()) {
        r.diagnosis = failureReport(steps.back(), session.settings().loader);
    }
    r.blocksWritten = blocksAccepted(steps, image);
    if (const auto& write = session.writeReport()) {
        for (const std::string& w : write->warnings) r.warnings.push_back(w);
        for (const UnconfirmedAnswer& a : write->unconfirmed) r.blocksUnconfirmed += a.row >= 0;
        if (!write->deviceState.empty()) r.deviceState = write->deviceState;
    }
    r.seconds = ms / 1000;
    return r;
}

}  // namespace quorvel::cli

#include "write_result.h"

#include "device_options.h"
#include "diagnosis.h"
#include "interruption_report.h"
#include "rewrite_report.h"
#include "session_record.h"
#include "stop_signals.h"

namespace quorvel::cli {

DeviceResult finishWrite(DeviceSession& session, const RewriteResult& write,
                         const MemoryImage& image, const ImageFacts& facts, RecordFile* record) {
    const RewriteOutcome outcome = write.outcome;
    DeviceResult r;
    r.port = portName(session.settings());
    r.outcome = outcome;
    r.ok = outcome == RewriteOutcome::Success || outcome == RewriteOutcome::Unconfirmed;
    r.interrupted = outcome == RewriteOutcome::Stopped;
    r.message = RewriteMessage(outcome);
    r.ms = session.elapsedMs();
    DeviceSession::WriteReport report{outcome, RewriteDeviceState(write, image, "run write again"),
                                      RewriteWarnings(write), write.unconfirmed};
    if (r.interrupted) {
        const std::string where = interruptionReport("write", session.steps(), image, stopCause());
        session.markInterrupted(where);
        r.diagnosis = {where};
        report.deviceState = where;
    } else if (!r.ok && !session.steps().empty()) {
        const StepRecord& failed = session.steps().back();
        r.failedStep = StepName(failed.step);
        r.failedStatus = failed.status;
        r.diagnosis = failureReport(failed, session.settings().loader);
        r.diagnosis.push_back(report.deviceState);
    } else if (!r.ok) {
        // Refused before the first exchange (the device is held by another writer).
        r.diagnosis = {report.deviceState};
    }
    r.warnings = report.warnings;
    if (!session.logFailure().empty()) r.warnings.push_back(session.logFailure());
    session.setWriteReport(std::move(report));
    r.warning = echoWarning(session.steps());
    r.json = session.json(r.ok, r.message);
    if (record != nullptr && !record->append(sessionRecord(session, r.ok, facts, image))) {
        r.recordFailure = record->failure();
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

#include "device_report.h"

#include "port_description.h"
#include "rewrite_report.h"
#include "walk_progress.h"

namespace quorvel::cli {

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
        // Named at the start too; a failure names it again, right beside what went wrong, as
        // it stands now (an adapter pulled out during the run is no longer there).
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

CommandResult recordNotStarted(const RecordSink& file) {
    return fileProblem("cannot write the record file " + file.path() + ": " + file.failure() +
                       "; nothing was sent");
}

}  // namespace quorvel::cli

#include "device_report.h"

#include "json_text.h"
#include "walk_progress.h"

namespace quorvel::cli {

CommandResult oneDeviceResult(const DeviceResult& result, const Command& command,
                              const CliOptions& options, const std::optional<ImageFacts>& image) {
    // The command line's own parts first: how long it took, the exit code.
    const bool timed = command.writesFlash() && options.showsProgress();
    const std::string took =
        timed ? options.command + " took " + secondsText(result.ms / 1000) : "";
    CommandResult r;
    r.endAs(result.severity);
    const DeviceReport report = ReportDevice(result, true);
    // The outcome is the result, success or not; what went wrong goes with the errors.
    r.message = report.message;
    if (!result.answer.empty()) r.result = jsonText(result.answer);
    r.image = image;
    r.devices = {report.json};
    r.text = report.text;
    for (const std::string& warning : report.warnings) r.note("warning: " + warning);
    for (const std::string& line : report.unconfirmed) r.note("  " + line);
    // Named at the start too; a failure names it again, right beside what went wrong.
    if (!report.port.empty()) r.note("port " + report.port);
    for (const std::string& line : report.wentWrong) r.note(line);
    if (!took.empty()) r.note(took);
    markRecordLost(r, result.recordFailure);
    return r;
}

void markRecordLost(CommandResult& result, const std::string& failure) {
    if (failure.empty()) return;
    result.recordError = failure;
    result.note("error: " + failure + "; this write is not recorded");
    if (result.exitCode == kExitOk || result.exitCode == kExitUnconfirmed) {
        result.exitCode = kExitRecordLost;
    }
}

CommandResult recordNotStarted(const RecordSink& file) {
    return fileProblem("cannot write the record file " + file.path() + ": " + file.failure() +
                       "; nothing was sent");
}

}  // namespace quorvel::cli

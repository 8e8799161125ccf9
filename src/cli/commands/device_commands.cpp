#include <QCoreApplication>
#include <atomic>
#include <optional>
#include <vector>

#include "command_actions.h"
#include "command_table.h"
#include "device_attempt.h"
#include "device_options.h"
#include "device_report.h"
#include "device_run.h"
#include "dry_run.h"
#include "image_checks.h"
#include "multi_write.h"
#include "port_description.h"
#include "port_mapping.h"
#include "record_database.h"
#include "record_file.h"
#include "safe_file.h"
#include "station.h"
#include "stop_signals.h"
#include "text_out.h"
#include "unit_written.h"
#include "write_consent.h"

namespace quorvel::cli {

CommandResult runDeviceCommand(const CliOptions& options, std::FILE* in, std::FILE* out,
                               std::FILE* err) {
    const Command& info = commandOf(options);
    std::string problem;
    const std::vector<DevicePort> devices = devicePortsFor(options, info, problem);
    if (devices.empty()) return usageProblem(problem);

    // The image and its facts, made once here and handed to every part of the run; refused
    // before any port is opened.
    LoadedImage loaded;
    const MemoryImage& image = loaded.image;
    if (info.takesImage) {
        if (auto refused = loadImageToSend(info, options, loaded, err)) return *refused;
    }
    // Opened before the confirmation is asked: a record that cannot be kept stops the run
    // while nothing has been sent.
    // A database that cannot be reached, or refuses the user, stops it the same way.
    // The reply waits run a Qt event loop. Made before the record, which outlives it: a
    // database's sender sends the last lines while the application still stands.
    static int argc = 1;
    static char name[] = "quorvel-flash";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // While a station runs its board says what the database does; its sender stays quiet.
    std::atomic<bool> stationRuns{false};
    RecordFile file;
    RecordDatabase database(
        [err, &stationRuns](const std::string& warning) {
            if (!stationRuns.load()) writeLine(err, "quorvel-flash: warning: " + warning);
        },
        [err, &stationRuns](const std::string& news) {
            if (!stationRuns.load()) writeLine(err, "quorvel-flash: " + news);
        });
    RecordSink* kept = nullptr;
    if (!options.record.empty() && !options.dryRun) {
        if (isDatabaseUri(options.record)) {
            if (!database.open(options.record)) {
                return fileProblem("cannot keep the record in " + database.path() + ": " +
                                   database.failure());
            }
            kept = &database;
        } else {
            // The reason names the path.
            if (!file.open(options.record))
                return fileProblem("cannot write the record file " + file.failure());
            kept = &file;
        }
    }
    // A station's transcripts are named as each device comes: their folder is looked at now,
    // while nothing has been sent.
    if (options.station && !options.logFile.empty()) {
        if (const std::string problem = folderProblem(options.logFile); !problem.empty())
            return fileProblem("cannot write the transcripts " + problem);
    }
    // A board the record shows written is not written again by mistake (a label read twice):
    // refused before the confirmation, with nothing sent. A scan is looked up as it comes.
    // A database that cannot be asked does not stop the write: it is said, and the record
    // marks the check as not made.
    std::string unitCheck;
    if (kept != nullptr && !options.unit.empty() && !options.scan && !options.rewrite) {
        std::string unasked;
        const std::optional<std::string> written =
            findUnitWritten(options.record, options.unit, &unasked);
        if (!unasked.empty()) {
            unitCheck = "not made: " + unasked;
            writeLine(err, "quorvel-flash: warning: unit " + options.unit +
                               ": the check whether it is written already was " + unitCheck);
        }
        if (written) {
            return cancelled(*written + "; nothing was sent (--rewrite writes it again)",
                             loaded.facts);
        }
    }
    if (std::optional<CommandResult> refused =
            obtainConsent(info, options, loaded, devices, in, err)) {
        return *refused;
    }

    if (options.dryRun) return runDryRun(options, devices, loaded, err);
    watchStopSignals();
    if (options.station) {
        stationRuns.store(true);
        std::vector<ExchangeSettings> ports;
        for (const DevicePort& p : devices) ports.push_back(p.settings);
        CommandResult r = runStation(options, ports, loaded, out, err, kept, in);
        stationRuns.store(false);
        return r;
    }
    if (devices.size() > 1) return runMultiWrite(info, options, devices, loaded, err, kept);

    // One port: its steps and progress on standard error, the outcome on standard output.
    const DevicePort& device = devices.front();
    DeviceAttempt attempt(options.verbose ? err : nullptr, "");
    problem = attempt.transcript.open(options.logFile, options.command, device.name);
    if (!problem.empty()) return fileProblem(problem);
    if (options.showsProgress()) writeLine(err, "quorvel-flash: port " + device.description);
    if (info.work.writes == FlashWrite::Rewrite &&
        !attempt.startRecord(kept, device.settings, device.name, options.unit, loaded.facts,
                             options.profileName, unitCheck)) {
        return recordNotStarted(*kept);
    }
    DeviceResult result = runDevice({info.work,
                                     options.showsProgress(),
                                     device.settings,
                                     device.name,
                                     image,
                                     attempt.transcript,
                                     options.unit,
                                     {},
                                     err});
    attempt.keepRecord(result, image);
    return oneDeviceResult(result, info, options,
                           info.takesImage ? std::optional(loaded.facts) : std::nullopt);
}

}  // namespace quorvel::cli

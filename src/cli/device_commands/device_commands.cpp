#include "device_commands.h"

#include <QCoreApplication>
#include <optional>
#include <string_view>
#include <vector>

#include "block_walk.h"
#include "command_table.h"
#include "device_options.h"
#include "device_session.h"
#include "dry_run.h"
#include "image_checks.h"
#include "image_loader.h"
#include "interruption_report.h"
#include "json_run.h"
#include "load_failure_text.h"
#include "loader.h"
#include "multi_write.h"
#include "pin_answer.h"
#include "ports_command.h"
#include "record_file.h"
#include "session_record.h"
#include "station.h"
#include "stop_signals.h"
#include "text_commands.h"
#include "write_consent.h"
#include "write_result.h"
#include "write_sequence.h"

namespace quorvel::cli {
namespace {

// Marks the session interrupted when its command was stopped on request: the write sequence
// says so, a single step stopped before it sent more.
void noteInterruption(DeviceSession& session, const std::string& command, bool interrupted,
                      const MemoryImage& image) {
    const std::vector<StepRecord>& steps = session.steps();
    if (!interrupted && !stopUrgently() && (steps.empty() || !steps.back().seen.stopped)) return;
    session.markInterrupted(interruptionReport(command, steps, image, stopCause()));
}

CommandResult runSingle(DeviceSession& session, const std::string& command,
                        const MemoryImage& image) {
    Loader& loader = session.loader();
    const ExchangeSettings& s = session.settings();
    int16_t status = 0;
    bool ok = false;
    if (command == "connect") {
        ok = session.step(Step::Connect, kConnected, [&] { return loader.LoaderConnect(s); }) ==
             kConnected;
    } else if (command == "erase") {
        ok = session.step(Step::Erase, kEraseAccepted, [&] { return loader.FlashErase(s); }) ==
             kEraseAccepted;
    } else if (command == "program") {
        ok = runProgramStep(session, image) == kProgramDone;
    } else if (command == "disconnect") {
        ok = session.step(Step::Disconnect, kDisconnected,
                          [&] { return loader.LoaderDisconnect(s); }) == kDisconnected;
    } else if (command == "text-erase" || command == "text-end") {
        const bool erase = command == "text-erase";
        const std::string_view word = erase ? "ERASE" : "END";
        ok = session.step(erase ? Step::TextErase : Step::TextEnd, kProgramDone,
                          [&] { return loader.TextCommand(s, word); }) == kProgramDone;
    } else if (command == "row-write") {
        ok = runRowWriteStep(session, image) == kProgramDone;
    } else if (command == "pin") {
        // Every state the pin can report is a good answer; NG and the unknown are not.
        const auto good = [](int16_t st) { return pinAnswer(st).good; };
        status = session.step(Step::Pin, good, [&] { return loader.PortCommand(s); });
        const PinAnswer answer = pinAnswer(status);
        noteInterruption(session, command, false, image);
        return session.finish(answer.good, "", std::string(answer.text));
    }
    noteInterruption(session, command, false, image);
    return session.finish(ok, "");
}

}  // namespace

CommandResult runDeviceCommand(const CliOptions& options, std::FILE* in, std::FILE* out,
                               std::FILE* err) {
    const Command* info = findCommand(options.command);
    if (info == nullptr || !info->device) {
        return usageProblem("unknown command '" + options.command + "'");
    }
    if (options.command == "ports") return runPorts();
    std::string problem;
    const std::vector<ExchangeSettings> devices = exchangeSettingsForEach(options, problem);
    if (devices.empty()) return usageProblem(problem);

    MemoryImage image;
    std::vector<std::string> loadWarnings;
    if (info->takesFile()) {
        std::string bytes;
        const LoadResult loaded = LoadImageFile(options.args[0], image, &bytes);
        if (!loaded.ok()) return loadProblem(options.args[0], loaded);
        warnAboutLoad(loaded, err);
        loadWarnings = loaded.warnings;
        noteLoadedBytes(options.args[0], bytes, loaded.warnings);
    }
    // Refused before any port is opened: write would erase the device and send nothing after
    // it, program and row-write would send nothing and still report success.
    if (options.command == "write" || options.command == "program") {
        warnAboutGapData(options.args[0], image, err);
        if (!HasDataToWrite(image, WriteWalk::Blocks)) {
            return fileProblem("no data to write in 0x4000–0xDFFF or 0x10000–0x23FFF");
        }
    } else if (options.command == "row-write" && !HasDataToWrite(image, WriteWalk::Rows)) {
        return fileProblem("no data to write in 0x4000–0x23FFF");
    }
    // Opened before the confirmation is asked: a record that cannot be kept stops the run
    // while nothing has been sent.
    RecordFile record;
    if (!options.record.empty() && !options.dryRun && !record.open(options.record)) {
        return fileProblem("cannot write the record file " + options.record + ": " +
                           record.failure());
    }
    if (std::optional<CommandResult> refused =
            obtainConsent(options, image, loadWarnings, devices, in, err)) {
        return *refused;
    }

    // The reply waits run a Qt event loop.
    static int argc = 1;
    static char name[] = "quorvel-flash";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    if (options.dryRun) return runDryRun(options, devices, image, err);
    watchStopSignals();
    if (options.station) {
        return runStation(options, devices, image, out, err, record.isOpen() ? &record : nullptr,
                          in);
    }
    if (devices.size() > 1) {
        return runMultiWrite(options, devices, image, err, record.isOpen() ? &record : nullptr);
    }
    DeviceSession session(options, devices.front(), out, err);
    if (!session.openLog(options.logFile)) {
        return fileProblem("cannot write the transcript " + options.logFile);
    }
    if (info->takesFile()) session.setImage(imageFacts(options.args[0], image));
    session.loader().stopWhen(stopRequestedByUser);
    session.loader().abortWaitsWhen(stopUrgently);
    session.announcePort();
    if (options.command == "write") {
        const DeviceResult result =
            finishWrite(session, runWriteSequence(session, image), image,
                        imageFacts(options.args[0], image), record.isOpen() ? &record : nullptr);
        CommandResult r = session.finish(result.ok, result.message);
        markRecordLost(r, result.recordFailure);
        return r;
    }
    return runSingle(session, options.command, image);
}

}  // namespace quorvel::cli

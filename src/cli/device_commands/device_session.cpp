#include "device_session.h"

#include <cerrno>
#include <cstring>

#include "block_walk.h"
#include "device_options.h"
#include "diagnosis.h"
#include "json_run.h"
#include "port_description.h"
#include "progress_board.h"
#include "record_file.h"
#include "serial_port_transport.h"
#include "terminal.h"
#include "text_out.h"
#include "time_text.h"
#include "trace_transport.h"

namespace quorvel::cli {
namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The closing line of a step in the transcript: its status and what it saw.
std::string transcriptResult(const StepRecord& step) {
    const ExchangeDiagnostics& seen = step.seen;
    std::string line = "step " + std::string(StepName(step.step)) + ": status " +
                       std::to_string(step.status) + (step.accepted ? ", success" : ", failure");
    if (seen.attempts > 0) {
        line += ", attempt " + std::to_string(seen.attempts) + " of " +
                std::to_string(seen.attemptLimit);
    }
    if (seen.judged) {
        line += ", last reply " + std::to_string(seen.receivedBytes) + " bytes (" +
                std::to_string(seen.expectedBytes) + " make a whole one)";
        if (seen.timedOut) line += ", deadline passed";
        if (seen.lateBytes > 0) line += ", " + std::to_string(seen.lateBytes) + " late bytes";
        if (seen.echoDiffers) line += ", the frame was not repeated";
        if (seen.statusPosition >= 0) {
            line +=
                ", at " + std::to_string(seen.statusPosition) + ": " + hexBytes(seen.statusBytes);
        }
    }
    if (seen.stopped) line += ", stopped on request before sending more";
    return line;
}

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

// "block 0x010000 answered '1' (0x31)", "the erase frame answered ..., without repeating it".
std::string unconfirmedLine(Step step, const UnconfirmedAnswer& a) {
    char where[32];
    std::snprintf(where, sizeof where, "block 0x%06X", static_cast<unsigned>(a.row * kRowBytes));
    const std::string frame = a.row >= 0 ? where : "the " + std::string(StepName(step)) + " frame";
    return frame + " answered " + byteText(a.answer) +
           (a.repeated ? "" : ", without repeating the frame");
}

// At most this many unconfirmed answers are listed one by one in the text output.
constexpr size_t kListedAnswers = 8;

}  // namespace

DeviceSession::Observer boardObserver(ProgressBoard& board, size_t index) {
    return DeviceSession::Observer{
        [&board, index](Step step) { board.stepStarted(index, step); },
        [&board, index](const StepRecord& step) { board.stepDone(index, step); },
        [&board, index](int done, int total, uint32_t address) {
            board.progress(index, done, total, address);
        }};
}

std::vector<std::string> failureReport(const StepRecord& step, LoaderGeneration loader) {
    std::vector<std::string> lines{failureLine(step)};
    for (std::string& line : explainFailure(step, loader)) lines.push_back(std::move(line));
    return lines;
}

DeviceSession::DeviceSession(const CliOptions& options, ExchangeSettings settings, std::FILE* out,
                             std::FILE* err)
    : options_(options),
      settings_(std::move(settings)),
      out_(out),
      err_(err),
      start_(std::chrono::steady_clock::now()) {
    auto trace = std::make_unique<TraceTransport>(std::make_unique<SerialPortTransport>(),
                                                  [this](std::string_view line) { logLine(line); });
    unit_ = options.unit;
    trace_ = trace.get();
    loader_ = std::make_unique<Loader>(std::move(trace));
}

DeviceSession::~DeviceSession() {
    loader_.reset();
    if (log_ != nullptr) std::fclose(log_);
}

bool DeviceSession::openLog(const std::string& path) {
    if (path.empty()) return true;
    // A pipe or a device in its place would hang the tool or swallow the transcript.
    if (!regularFileProblem(path).empty()) return false;
    log_ = std::fopen(path.c_str(), "w");
    if (log_ == nullptr) return false;
    logPath_ = path;
    std::fprintf(log_, "# quorvel-flash %s on %s, started %s\n", options_.command.c_str(),
                 portName(settings_).c_str(), localTimeNow().c_str());
    std::fprintf(log_,
                 "# seconds since the start, then: open, close, settings, send COUNT: "
                 "BYTES, wait for MINIMUM: COUNT, recv COUNT: BYTES, step NAME[: RESULT]\n");
    return true;
}

void DeviceSession::logLine(std::string_view line) {
    // A session that reports to an observer is given `err` only when its lines are wanted
    // (a station's -v): they then name their port, as several ports print at once.
    if (options_.verbose && err_ != nullptr) {
        // The bytes of a frame would fill the screen: the first few tell which message it was.
        constexpr size_t kShownHex = 16 * 3;
        const size_t bytesAt = line.find(": ");
        const bool long_ = (line.find("send ") != std::string_view::npos ||
                            line.find("recv ") != std::string_view::npos) &&
                           bytesAt != std::string_view::npos &&
                           line.size() > bytesAt + 2 + kShownHex;
        const std::string shown = long_
                                      ? std::string(line.substr(0, bytesAt + 2 + kShownHex)) + "..."
                                      : std::string(line);
        const std::string port = observer_.stepDone ? portName(settings_) + ": " : "";
        writeLine(err_, "quorvel-flash: " + port + shown);
    }
    if (log_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), log_);
    std::fputc('\n', log_);
    // A full disk is said at the end, not dropped in silence.
    if (std::fflush(log_) != 0 && logFailure_.empty()) {
        logFailure_ =
            "the transcript " + logPath_ + " could not be written: " + std::strerror(errno);
    }
}

void DeviceSession::announcePort() {
    if (options_.json || options_.quiet || err_ == nullptr) return;
    writeLine(err_, "quorvel-flash: port " + describePort(settings_));
}

double DeviceSession::elapsedMs() const {
    return millisecondsSince(start_);
}

int16_t DeviceSession::step(Step step, int16_t accepted, const std::function<int16_t()>& run) {
    return this->step(
        step, [accepted](int16_t status) { return status == accepted; }, run);
}

int16_t DeviceSession::step(Step step, const std::function<bool(int16_t)>& accepts,
                            const std::function<int16_t()>& run) {
    const char* name = StepName(step);
    trace_->noteLine(std::string("step ") + name);
    if (observer_.stepStarted) observer_.stepStarted(step);
    const auto begun = std::chrono::steady_clock::now();
    const int16_t status = run();
    steps_.push_back(StepRecord{step, status, accepts(status), millisecondsSince(begun),
                                loader_->portFailureText(), loader_->lastDiagnostics(),
                                settings_.strictAnswers, loader_->answersNotEchoed(),
                                loader_->answersNotConfirmed()});
    const StepRecord& record = steps_.back();
    trace_->noteLine(transcriptResult(record));
    if (const std::string warning = echoWarning({record}); !warning.empty()) {
        trace_->noteLine("  " + warning);
    }
    if (!record.accepted) {
        for (const std::string& why : explainFailure(record, settings_.loader)) {
            trace_->noteLine("  " + why);
        }
    }
    if (observer_.stepDone) {
        observer_.stepDone(record);
    } else if (!options_.json && !options_.quiet) {
        writeLine(err_, std::string(name) + ": status " + std::to_string(status));
    }
    return status;
}

ProgressDisplay DeviceSession::progress(Step step, const std::string& unit, int total,
                                        int lineEvery) const {
    if (observer_.progress) return ProgressDisplay(observer_.progress, total);
    ProgressDisplay::Mode mode = ProgressDisplay::Mode::Lines;
    if (options_.json || options_.quiet) {
        mode = ProgressDisplay::Mode::Silent;
    } else if (isTerminal(err_)) {
        mode = ProgressDisplay::Mode::Bar;
    }
    return ProgressDisplay(err_, mode, StepName(step), unit, total, lineEvery);
}

QJsonObject DeviceSession::json(bool ok, const std::string& message) const {
    const bool interrupted = !interruption_.empty();
    const StepRecord* failed = !ok && !steps_.empty() ? &steps_.back() : nullptr;
    std::vector<std::string> diagnosis;
    if (interrupted) {
        diagnosis.push_back(interruption_);
    } else if (failed != nullptr) {
        diagnosis = failureReport(*failed, settings_.loader);
    }
    QJsonArray steps;
    for (const StepRecord& s : steps_) steps.append(stepJson(s));
    return {{"port", jsonPath(portName(settings_))},
            {"unit", jsonTextOrNull(unit_)},
            {"device", resolvedDevice(settings_).empty() ? QJsonValue()
                                                         : jsonPath(resolvedDevice(settings_))},
            {"outcome", jsonText(outcomeName(ok))},
            {"device_state", write_ ? jsonTextOrNull(write_->deviceState) : QJsonValue()},
            {"warnings", jsonTexts(write_ ? write_->warnings : std::vector<std::string>{})},
            {"unconfirmed", unconfirmedJson(steps_)},
            {"message", jsonTextOrNull(message)},
            {"failed_step", failed != nullptr ? jsonText(StepName(failed->step)) : QJsonValue()},
            {"diagnosis", jsonTexts(diagnosis)},
            {"warning", jsonTextOrNull(echoWarning(steps_))},
            {"steps", steps},
            {"bytes_sent", static_cast<qint64>(trace_->bytesSent())},
            {"bytes_received", static_cast<qint64>(trace_->bytesReceived())},
            {"total_ms", jsonMilliseconds(elapsedMs())}};
}

int DeviceSession::exitCode(bool ok) const {
    if (ok) return kExitOk;
    return interruption_.empty() ? kExitDeviceFailure : kExitInterrupted;
}

std::string DeviceSession::outcomeName(bool ok) const {
    if (write_) return RewriteOutcomeName(write_->outcome);
    return ok ? "success" : interruption_.empty() ? "failure" : "interrupted";
}

CommandResult DeviceSession::finish(bool ok, const std::string& message,
                                    const std::string& result) {
    CommandResult r;
    r.exitCode = write_ ? RewriteExitCode(write_->outcome) : exitCode(ok);
    r.outcome = outcomeName(ok);
    if (!message.empty()) r.message = message;
    if (!result.empty()) r.result = jsonText(result);
    r.image = image_;
    r.devices = {json(ok, message)};
    if (const std::string warning = echoWarning(steps_); !warning.empty()) {
        r.note("warning: " + warning);
    }
    if (!logFailure_.empty()) r.note("warning: " + logFailure_);
    if (write_) {
        for (const std::string& warning : write_->warnings) r.note("warning: " + warning);
        size_t listed = 0;
        for (const StepRecord& s : steps_) {
            for (const UnconfirmedAnswer& a : s.unconfirmed) {
                if (listed++ < kListedAnswers) r.note("  " + unconfirmedLine(s.step, a));
            }
        }
        if (listed > kListedAnswers) {
            r.note("  and " + std::to_string(listed - kListedAnswers) + " more");
        }
    }
    if (!result.empty()) r.text.push_back(result);
    // The outcome is the result, success or not; what a failed step saw goes with the errors.
    if (!message.empty()) r.text.push_back(message);
    if (!ok && !options_.json) {
        // Named at the start too; a failure names it again, right beside what went wrong.
        r.note("port " + describePort(settings_));
        if (!interruption_.empty()) {
            r.note(interruption_);
        } else if (!steps_.empty()) {
            for (const std::string& line : failureReport(steps_.back(), settings_.loader)) {
                r.note(line);
            }
            if (write_ && !write_->deviceState.empty()) r.note(write_->deviceState);
        } else if (write_ && !write_->deviceState.empty()) {
            r.note(write_->deviceState);
        }
    }
    const bool writes = options_.command == "write" || options_.command == "program" ||
                        options_.command == "row-write";
    if (writes && !options_.quiet && !options_.json) {
        r.note(options_.command + " took " + secondsText(elapsedMs() / 1000));
    }
    return r;
}

}  // namespace quorvel::cli

#include "device_session.h"

#include <ctime>

#include "device_options.h"
#include "diagnosis.h"
#include "json_text.h"
#include "serial_port_transport.h"
#include "terminal.h"
#include "trace_transport.h"

namespace quorvel::cli {
namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

std::string localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// The closing line of a step in the transcript: its status and what it saw.
std::string transcriptResult(const StepRecord& step) {
    const ExchangeDiagnostics& seen = step.seen;
    std::string line = "step " + step.name + ": status " + std::to_string(step.status) +
                       (step.accepted ? ", success" : ", failure");
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
    return line;
}

std::string stepJson(const StepRecord& s) {
    const ExchangeDiagnostics& seen = s.seen;
    std::string json =
        "{\"step\":" + jsonString(s.name) + ",\"status\":" + std::to_string(s.status) +
        ",\"accepted\":" + (s.accepted ? "true" : "false") + ",\"ms\":" + jsonMilliseconds(s.ms) +
        ",\"attempts\":" + std::to_string(seen.attempts);
    if (seen.judged) {
        json += ",\"reply_bytes\":" + std::to_string(seen.receivedBytes) +
                ",\"timed_out\":" + (seen.timedOut ? "true" : "false");
        if (seen.timedOut) json += ",\"late_bytes\":" + std::to_string(seen.lateBytes);
        if (seen.statusPosition >= 0) {
            json += ",\"status_position\":" + std::to_string(seen.statusPosition) +
                    ",\"status_bytes\":" + jsonString(hexBytes(seen.statusBytes));
        }
    }
    if (!s.notEchoed.empty()) {
        json += ",\"answers_not_echoed\":[";
        for (size_t i = 0; i < s.notEchoed.size(); ++i) {
            json +=
                (i == 0 ? "" : ",") + std::to_string(s.notEchoed[i] < 0 ? -1 : s.notEchoed[i] * 16);
        }
        json += "]";
    }
    if (!s.portError.empty()) json += ",\"port_error\":" + jsonString(s.portError);
    return json + "}";
}

}  // namespace

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
    trace_ = trace.get();
    loader_ = std::make_unique<Loader>(std::move(trace));
}

DeviceSession::~DeviceSession() {
    loader_.reset();
    if (log_ != nullptr) std::fclose(log_);
}

bool DeviceSession::openLog(const std::string& path) {
    if (path.empty()) return true;
    log_ = std::fopen(path.c_str(), "w");
    if (log_ == nullptr) {
        if (err_ != nullptr) {
            std::fprintf(err_, "quorvel-flash: cannot write the transcript %s\n", path.c_str());
        }
        return false;
    }
    std::fprintf(log_, "# quorvel-flash %s on %s, started %s\n", options_.command.c_str(),
                 portName(settings_).c_str(), localTimeNow().c_str());
    std::fprintf(log_,
                 "# seconds since the start, then: open, close, settings, send COUNT: "
                 "BYTES, wait for MINIMUM: COUNT, recv COUNT: BYTES, step NAME[: RESULT]\n");
    return true;
}

void DeviceSession::logLine(std::string_view line) {
    if (log_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), log_);
    std::fputc('\n', log_);
}

double DeviceSession::elapsedMs() const {
    return millisecondsSince(start_);
}

int16_t DeviceSession::step(const std::string& name, int16_t accepted,
                            const std::function<int16_t()>& run) {
    trace_->noteLine("step " + name);
    if (observer_.stepStarted) observer_.stepStarted(name);
    const auto begun = std::chrono::steady_clock::now();
    const int16_t status = run();
    steps_.push_back(StepRecord{name, status, status == accepted, millisecondsSince(begun),
                                loader_->portFailureText(), loader_->lastDiagnostics(),
                                settings_.strictAnswers, loader_->answersNotEchoed()});
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
    } else if (!options_.json) {
        std::fprintf(out_, "%s: status %d\n", name.c_str(), status);
        std::fflush(out_);
    }
    return status;
}

ProgressDisplay DeviceSession::progress(const std::string& label, int total, int lineEvery) const {
    if (observer_.progress) return ProgressDisplay(observer_.progress, total);
    ProgressDisplay::Mode mode = ProgressDisplay::Mode::Lines;
    if (options_.json) {
        mode = ProgressDisplay::Mode::Silent;
    } else if (isTerminal(out_)) {
        mode = ProgressDisplay::Mode::Bar;
    }
    return ProgressDisplay(out_, mode, label, total, lineEvery);
}

std::string DeviceSession::json(bool ok, const std::string& message,
                                const std::string& result) const {
    const StepRecord* failed = !ok && !steps_.empty() ? &steps_.back() : nullptr;
    std::string json = "{\"command\":" + jsonString(options_.command) +
                       ",\"port\":" + jsonString(portName(settings_)) +
                       ",\"outcome\":" + jsonString(ok ? "success" : "failure") +
                       ",\"exit_code\":" + std::to_string(ok ? kExitOk : kExitDeviceFailure);
    if (!message.empty()) json += ",\"message\":" + jsonString(message);
    if (!result.empty()) json += ",\"result\":" + jsonString(result);
    if (failed != nullptr) {
        json += ",\"failed_step\":" + jsonString(failed->name) + ",\"diagnosis\":[";
        const std::vector<std::string> lines = failureReport(*failed, settings_.loader);
        for (size_t i = 0; i < lines.size(); ++i) {
            json += (i == 0 ? "" : ",") + jsonString(lines[i]);
        }
        json += "]";
    }
    json += ",\"steps\":[";
    for (size_t i = 0; i < steps_.size(); ++i) json += (i == 0 ? "" : ",") + stepJson(steps_[i]);
    return json + "],\"bytes_sent\":" + std::to_string(trace_->bytesSent()) +
           ",\"bytes_received\":" + std::to_string(trace_->bytesReceived()) +
           ",\"total_ms\":" + jsonMilliseconds(elapsedMs()) + "}";
}

int DeviceSession::finish(bool ok, const std::string& message, const std::string& result) {
    const int code = ok ? kExitOk : kExitDeviceFailure;
    if (const std::string warning = echoWarning(steps_); !warning.empty()) {
        std::fprintf(err_, "quorvel-flash: warning: %s\n", warning.c_str());
    }
    if (options_.json) {
        std::fprintf(out_, "%s\n", json(ok, message, result).c_str());
        return code;
    }
    if (!result.empty()) std::fprintf(out_, "%s\n", result.c_str());
    if (ok) {
        if (!message.empty()) std::fprintf(out_, "%s\n", message.c_str());
        return code;
    }
    if (!message.empty()) std::fprintf(err_, "%s\n", message.c_str());
    if (!steps_.empty()) {
        for (const std::string& line : failureReport(steps_.back(), settings_.loader)) {
            std::fprintf(err_, "quorvel-flash: %s\n", line.c_str());
        }
    }
    return code;
}

}  // namespace quorvel::cli

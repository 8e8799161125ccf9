#include "device_session.h"

#include "device_options.h"
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

}  // namespace

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

bool DeviceSession::openLog() {
    if (options_.logFile.empty()) return true;
    log_ = std::fopen(options_.logFile.c_str(), "w");
    if (log_ == nullptr) {
        std::fprintf(err_, "quorvel-flash: cannot write the transcript %s\n",
                     options_.logFile.c_str());
        return false;
    }
    std::fprintf(log_, "# quorvel-flash %s on %s\n", options_.command.c_str(),
                 portName(settings_).c_str());
    return true;
}

void DeviceSession::logLine(std::string_view line) {
    if (log_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), log_);
    std::fputc('\n', log_);
}

int16_t DeviceSession::step(const std::string& name, int16_t accepted,
                            const std::function<int16_t()>& run) {
    if (log_ != nullptr) std::fprintf(log_, "# %s\n", name.c_str());
    const auto begun = std::chrono::steady_clock::now();
    const int16_t status = run();
    steps_.push_back(StepRecord{name, status, status == accepted, millisecondsSince(begun),
                                loader_->portFailureText()});
    if (log_ != nullptr) std::fprintf(log_, "# %s: status %d\n", name.c_str(), status);
    if (!options_.json) {
        std::fprintf(out_, "%s: status %d\n", name.c_str(), status);
        std::fflush(out_);
    }
    return status;
}

ProgressDisplay DeviceSession::progress(const std::string& label, int total, int lineEvery) const {
    ProgressDisplay::Mode mode = ProgressDisplay::Mode::Lines;
    if (options_.json) {
        mode = ProgressDisplay::Mode::Silent;
    } else if (isTerminal(out_)) {
        mode = ProgressDisplay::Mode::Bar;
    }
    return ProgressDisplay(out_, mode, label, total, lineEvery);
}

int DeviceSession::finish(bool ok, const std::string& message, const std::string& result) {
    const int code = ok ? kExitOk : kExitDeviceFailure;
    const StepRecord* failed = nullptr;
    if (!ok && !steps_.empty()) failed = &steps_.back();

    if (options_.json) {
        std::string json = "{\"command\":" + jsonString(options_.command) +
                           ",\"port\":" + jsonString(portName(settings_)) +
                           ",\"outcome\":" + jsonString(ok ? "success" : "failure") +
                           ",\"exit_code\":" + std::to_string(code);
        if (!message.empty()) json += ",\"message\":" + jsonString(message);
        if (!result.empty()) json += ",\"result\":" + jsonString(result);
        if (failed != nullptr) json += ",\"failed_step\":" + jsonString(failed->name);
        json += ",\"steps\":[";
        for (size_t i = 0; i < steps_.size(); ++i) {
            const StepRecord& s = steps_[i];
            json += std::string(i == 0 ? "" : ",") + "{\"step\":" + jsonString(s.name) +
                    ",\"status\":" + std::to_string(s.status) +
                    ",\"accepted\":" + (s.accepted ? "true" : "false") +
                    ",\"ms\":" + jsonMilliseconds(s.ms);
            if (!s.portError.empty()) json += ",\"port_error\":" + jsonString(s.portError);
            json += "}";
        }
        json += "],\"bytes_sent\":" + std::to_string(trace_->bytesSent()) +
                ",\"bytes_received\":" + std::to_string(trace_->bytesReceived()) +
                ",\"total_ms\":" + jsonMilliseconds(millisecondsSince(start_)) + "}";
        std::fprintf(out_, "%s\n", json.c_str());
        return code;
    }

    if (ok) {
        if (!result.empty()) std::fprintf(out_, "%s\n", result.c_str());
        if (!message.empty()) std::fprintf(out_, "%s\n", message.c_str());
        return code;
    }
    if (!result.empty()) std::fprintf(out_, "%s\n", result.c_str());
    if (!message.empty()) std::fprintf(err_, "%s\n", message.c_str());
    if (failed != nullptr) {
        std::fprintf(err_, "quorvel-flash: %s failed with status %d\n", failed->name.c_str(),
                     failed->status);
        if (!failed->portError.empty()) {
            std::fprintf(err_, "quorvel-flash: %s\n", failed->portError.c_str());
        }
    }
    return code;
}

}  // namespace quorvel::cli

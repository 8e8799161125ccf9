#include "trace_transport.h"

#include <cstdio>

#include "port_mapping.h"

namespace quorvel {

TraceTransport::TraceTransport(std::unique_ptr<Transport> inner, Sink sink)
    : inner_(std::move(inner)), sink_(std::move(sink)), start_(std::chrono::steady_clock::now()) {}

void TraceTransport::noteLine(const std::string& text) {
    if (!sink_) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%9.3f ", seconds);
    sink_(stamp + text);
}

bool TraceTransport::open(const PortTarget& target) {
    const bool ok = inner_->open(target);
    noteLine("open " + targetName(target) + (ok ? "" : " failed: " + inner_->failureText()));
    return ok;
}

void TraceTransport::close() {
    inner_->close();
    noteLine("close");
}

bool TraceTransport::setLineSettings(const LineSettings& s) {
    noteLine("settings " + s.text());
    return inner_->setLineSettings(s);
}

bool TraceTransport::write(std::span<const uint8_t> bytes) {
    const bool ok = inner_->write(bytes);
    ++writes_;
    if (ok) bytesSent_ += bytes.size();
    noteLine("send " + std::to_string(bytes.size()) + (ok ? ": " : " failed: ") +
             (ok ? hexBytes(bytes) : inner_->failureText()));
    return ok;
}

bool TraceTransport::waitForBytes(int64_t minimum, std::chrono::milliseconds deadline) {
    const bool ok = inner_->waitForBytes(minimum, deadline);
    const int64_t count = inner_->bytesAvailable();
    std::string outcome = std::to_string(count) + " bytes";
    if (!ok) {
        const std::string why = inner_->failureText();
        outcome += ", ended early" + (why.empty() ? std::string() : ": " + why);
    } else if (count < minimum) {
        outcome += ", deadline passed";
    }
    noteLine("wait for " + std::to_string(minimum) + ": " + outcome);
    return ok;
}

std::vector<uint8_t> TraceTransport::readAll() {
    std::vector<uint8_t> bytes = inner_->readAll();
    bytesReceived_ += bytes.size();
    noteLine("recv " + std::to_string(bytes.size()) +
             (bytes.empty() ? "" : ": " + hexBytes(bytes)));
    return bytes;
}

int64_t TraceTransport::discardInput() {
    const int64_t n = inner_->discardInput();
    bytesReceived_ += static_cast<uint64_t>(n);
    if (n > 0) noteLine("discard " + std::to_string(n) + " bytes that came late");
    return n;
}

}  // namespace quorvel

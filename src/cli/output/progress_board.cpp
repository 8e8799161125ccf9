#include "progress_board.h"

#include <algorithm>

#include "diagnosis.h"
#include "step_words.h"
#include "text_out.h"

namespace quorvel::cli {
namespace {

constexpr size_t kLongestPort = 24;  // longer names are cut at the front, so lines stay short
constexpr int kBarWidth = 20;
constexpr int kLineEveryPercent = 10;  // plain lines: one per tenth of the walk

}  // namespace

ProgressBoard::ProgressBoard(std::FILE* out, Mode mode, std::vector<std::string> ports)
    : out_(out), mode_(mode) {
    for (std::string& port : ports) {
        portWidth_ = std::max(portWidth_, characterCount(shownFitted(port, kLongestPort, true)));
        devices_.push_back(Device{std::move(port), {}, {}, 0, false, {}});
    }
}

void ProgressBoard::stepStarted(size_t device, Step step) {
    std::lock_guard<std::mutex> lock(mutex_);
    Device& d = devices_.at(device);
    d.step = step;
    dirty_ = true;
}

void ProgressBoard::stepDone(size_t device, const StepRecord& step) {
    std::lock_guard<std::mutex> lock(mutex_);
    Device& d = devices_.at(device);
    if (step.step == Step::Disconnect) d.percent = 100;
    dirty_ = true;
    if (mode_ == Mode::Lines) {
        writeLine(out_,
                  d.port + ": " + std::string(StepName(step.step)) + ": " + StepEndWords(step));
    }
}

void ProgressBoard::progress(size_t device, int done, int total, uint32_t address) {
    std::lock_guard<std::mutex> lock(mutex_);
    Device& d = devices_.at(device);
    const int percent = std::clamp(done * 100 / std::max(total, 1), 0, 100);
    const bool newTenth = percent / kLineEveryPercent != d.percent / kLineEveryPercent;
    d.address = address;
    d.percent = percent;
    dirty_ = true;
    if (mode_ == Mode::Lines && (newTenth || done == 1)) {
        const std::string step = d.step ? StepName(*d.step) : "";
        writeLine(out_, d.port + ": " + step + " " + byteAddress(address) + " " +
                            std::to_string(percent) + "%");
    }
}

void ProgressBoard::finished(size_t device, bool ok, const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    Device& d = devices_.at(device);
    d.done = true;
    d.outcome = message;
    if (ok) d.percent = 100;
    dirty_ = true;
    if (mode_ == Mode::Lines) writeLine(out_, d.port + ": " + message);
}

std::string ProgressBoard::line(size_t device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lineLocked(devices_.at(device));
}

std::string ProgressBoard::lineLocked(const Device& d) const {
    const int filled = d.percent * kBarWidth / 100;
    const std::string port = padded(shownFitted(d.port, kLongestPort, true), portWidth_);
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", d.percent);
    std::string text = port + "  [" + std::string(filled, '#') +
                       std::string(kBarWidth - filled, '.') + "] " + percent + "  ";
    if (d.done) return text + d.outcome;
    if (!d.step) return text + "waiting";
    text += StepName(*d.step);
    if (*d.step == Step::Program && d.address) text += " " + byteAddress(*d.address);
    return text;
}

void ProgressBoard::redraw() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (mode_ != Mode::Terminal || !dirty_) return;
    std::string block;
    // Back to the first line of the block drawn before, then every line anew.
    if (drawn_) block += "\x1b[" + std::to_string(devices_.size()) + "A";
    for (const Device& d : devices_) block += "\r\x1b[2K" + shownText(lineLocked(d)) + "\n";
    // One write, so that the block is drawn whole.
    writeControl(out_, block);
    drawn_ = true;
    dirty_ = false;
}

}  // namespace quorvel::cli

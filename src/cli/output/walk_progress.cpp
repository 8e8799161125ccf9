#include "walk_progress.h"

#include <algorithm>

#include "text_out.h"

namespace quorvel::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr size_t kStatusWidth = 60;
}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, Mode mode, std::string label, std::string unit,
                                 int total, int lineEvery)
    : out_(out),
      mode_(mode),
      label_(std::move(label)),
      unit_(std::move(unit)),
      total_(std::max(total, 1)),
      lineEvery_(std::max(lineEvery, 1)),
      timeLeft_(total_) {}

ProgressDisplay::ProgressDisplay(Report report, int total)
    : out_(nullptr),
      mode_(Mode::Report),
      total_(std::max(total, 1)),
      lineEvery_(1),
      report_(std::move(report)),
      timeLeft_(total_) {}

// "block 0x010400 (37/88), 17.2 s, 30.1 s left": the units before the one on its way are
// answered, and the time left is the pace of those.
std::string ProgressDisplay::status(uint32_t address) const {
    const TimeLeft::Clock::time_point now = TimeLeft::Clock::now();
    const int shown = std::min(done_, total_);
    std::string text = unit_ + " " + byteAddress(address) + " (" + std::to_string(shown) + "/" +
                       std::to_string(total_) + "), " + secondsText(timeLeft_.spent(now).count());
    if (const auto left = timeLeft_.left(done_ - 1, now)) {
        text += ", " + secondsText(left->count()) + " left";
    }
    return text;
}

void ProgressDisplay::advance(uint32_t address) {
    ++done_;
    switch (mode_) {
        case Mode::Silent:
            return;
        case Mode::Report:
            if (report_) report_(done_, total_, address);
            return;
        case Mode::Lines:
            if ((done_ - 1) % lineEvery_ == 0 || done_ == total_) {
                writeLine(out_, label_ + ": " + status(address));
            }
            return;
        case Mode::Bar:
            break;
    }
    // The bar never runs past its end, however many units are reported.
    const int filled = std::min(done_, total_) * kBarWidth / total_;
    // Padded, so that a shorter line covers a longer one drawn before it.
    std::string text = status(address);
    text.resize(std::max(text.size(), kStatusWidth), ' ');
    writeControl(out_, "\r");
    writeShown(out_, label_ + " [" + std::string(filled, '#') +
                         std::string(kBarWidth - filled, '.') + "] " + text);
    drawn_ = true;
}

void ProgressDisplay::finish() {
    if (drawn_) {
        writeControl(out_, "\n");
    }
    drawn_ = false;
}

}  // namespace quorvel::cli

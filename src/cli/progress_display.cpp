#include "progress_display.h"

#include <algorithm>

namespace quorvel::cli {

namespace {
constexpr int kBarWidth = 40;
}

ProgressDisplay::ProgressDisplay(std::FILE* out, Mode mode, std::string label, int total,
                                 int lineEvery)
    : out_(out),
      mode_(mode),
      label_(std::move(label)),
      total_(std::max(total, 1)),
      lineEvery_(std::max(lineEvery, 1)) {}

ProgressDisplay::ProgressDisplay(Report report, int total)
    : out_(nullptr),
      mode_(Mode::Report),
      total_(std::max(total, 1)),
      lineEvery_(1),
      report_(std::move(report)) {}

void ProgressDisplay::advance(const std::string& address) {
    ++done_;
    switch (mode_) {
        case Mode::Silent:
            return;
        case Mode::Report:
            if (report_) report_(done_, total_, address);
            return;
        case Mode::Lines:
            if ((done_ - 1) % lineEvery_ == 0)
                std::fprintf(out_, "%s: %s\n", label_.c_str(), address.c_str());
            return;
        case Mode::Bar:
            break;
    }
    // The bar never runs past its end, however many positions are reported.
    const int shown = std::min(done_, total_);
    const int filled = shown * kBarWidth / total_;
    std::fprintf(out_, "\r%s [%s%s] %3d%% %s ", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), shown * 100 / total_,
                 address.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ProgressDisplay::finish() {
    if (drawn_) std::fprintf(out_, "\n");
    drawn_ = false;
}

}  // namespace quorvel::cli

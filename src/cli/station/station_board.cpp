#include "station_board.h"

#include <algorithm>
#include <cstdio>

#include "text_out.h"
#include "time_text.h"

namespace quorvel::cli {
namespace {

constexpr size_t kLongestPort = 24;  // longer names are cut at the front, where they agree
constexpr size_t kLongestUnit = 16;
constexpr size_t kStateWidth = 24;  // "writing 100%, 10:00 left"
constexpr size_t kMarkWidth = 11;   // "UNCONFIRMED"
constexpr size_t kLongestReason = 60;
constexpr const char* kGap = "  ";
// The boards per hour are those of the last hour, shown once this many boards have ended.
constexpr std::chrono::steady_clock::duration kPaceWindow = std::chrono::hours(1);
constexpr int kBoardsForPace = 3;

std::string padded(std::string text, size_t width) {
    const size_t n = characterCount(text);
    if (n < width) text.append(width - n, ' ');
    return text;
}

Ink inkOf(OutcomeSeverity severity) {
    switch (severity) {
        case OutcomeSeverity::Success:
            return Ink::Green;
        case OutcomeSeverity::Failure:
            return Ink::Red;
        case OutcomeSeverity::Unconfirmed:
        case OutcomeSeverity::Interrupted:
            return Ink::Yellow;
    }
    return Ink::Plain;
}

// "0:21" for the time left.
std::string minutes(double seconds) {
    const long whole = std::max(0L, static_cast<long>(seconds + 0.5));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

StationBoard::StationBoard(std::unique_ptr<TerminalScreen> screen, std::string title,
                           const std::vector<std::string>& ports)
    : screen_(std::move(screen)),
      title_(std::move(title)),
      begun_(std::chrono::steady_clock::now()) {
    for (const std::string& port : ports) {
        Row row;
        row.port = port;
        row.doing = "starting";
        rows_.push_back(std::move(row));
    }
}

void StationBoard::doing(size_t port, std::string what) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Row& row = rows_.at(port);
    row.doing = std::move(what);
    row.step.reset();
    changed_ = true;
}

void StationBoard::started(size_t port, const std::string& unit) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Row& row = rows_.at(port);
    row.unit = unit;
    row.doing = "writing";
    row.percent = 0;
    row.walk.reset();
    row.left.clear();
    row.reason.clear();
    changed_ = true;
}

void StationBoard::stepStarted(size_t port, Step step) {
    const std::lock_guard<std::mutex> lock(mutex_);
    rows_.at(port).step = step;
    changed_ = true;
}

void StationBoard::progress(size_t port, int done, int total) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Row& row = rows_.at(port);
    // The walk's clock starts with its first block; its pace is that of the blocks answered.
    if (done <= 1 || !row.walk) row.walk.emplace(std::max(total, 1));
    row.percent = std::clamp(done * 100 / std::max(total, 1), 0, 100);
    const auto left = row.walk->left(done - 1);
    row.left = left ? minutes(left->count()) + " left" : "";
    changed_ = true;
}

void StationBoard::finished(size_t port, const char* mark, OutcomeSeverity severity,
                            std::string reason) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Row& row = rows_.at(port);
    row.step.reset();
    if (severity == OutcomeSeverity::Interrupted) row.doing = "stopped";
    row.mark = mark;
    row.severity = severity;
    row.when = clockTimeNow();
    row.reason = std::move(reason);
    // Every attempt ended counts once, with its outcome, as its record line does.
    totals_.add(severity);
    const auto now = std::chrono::steady_clock::now();
    ended_.push_back(now);
    while (now - ended_.front() > kPaceWindow) ended_.pop_front();
    changed_ = true;
}

void StationBoard::reason(size_t port, std::string text, bool unlessSet) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string& shown = rows_.at(port).reason;
    if (unlessSet && !shown.empty()) return;
    shown = std::move(text);
    changed_ = true;
}

void StationBoard::banner(std::string text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (text == banner_) return;
    banner_ = std::move(text);
    changed_ = true;
}

void StationBoard::stopping() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_ = true;
}

std::string StationBoard::stateLocked(const Row& row) const {
    if (!row.step) return row.doing;
    if (*row.step != Step::Program) return "writing: " + std::string(StepName(*row.step));
    return "writing " + std::to_string(row.percent) + "%" +
           (row.left.empty() ? "" : ", " + row.left);
}

std::vector<ScreenRow> StationBoard::rowsLocked() const {
    const int written = totals_[OutcomeSeverity::Success];
    const int failed = totals_[OutcomeSeverity::Failure];
    const int unconfirmed = totals_[OutcomeSeverity::Unconfirmed];
    const int interrupted = totals_[OutcomeSeverity::Interrupted];
    char yield[32] = "yield -";
    char pace[32] = "- boards/h";
    if (const std::optional<double> share = totals_.yield()) {
        std::snprintf(yield, sizeof yield, "yield %.1f%%", *share);
    }
    // The pace of the last hour (or of the time since the start, when shorter), once a few
    // boards tell it: one board early on says nothing of the line's pace.
    if (totals_.total() >= kBoardsForPace) {
        const auto now = std::chrono::steady_clock::now();
        const double hours =
            std::chrono::duration<double, std::ratio<3600>>(
                std::min<std::chrono::steady_clock::duration>(now - begun_, kPaceWindow))
                .count();
        size_t recent = 0;
        for (const auto& at : ended_) recent += now - at <= kPaceWindow ? 1 : 0;
        std::snprintf(pace, sizeof pace, "%.0f boards/h", recent / std::max(hours, 1.0 / 60));
    }
    std::vector<ScreenRow> screen;
    screen.push_back({{"QUORVEL STATION", Ink::Bold},
                      {kGap + shownFitted(title_, kLongestReason) + kGap + drawnClock_ + kGap},
                      stopping_ ? Span{"stopping after the boards in hand", Ink::Yellow}
                                : Span{"Ctrl-C ends it"}});
    screen.push_back(
        {{"written " + std::to_string(written), Ink::Green},
         {kGap},
         {"failed " + std::to_string(failed), failed > 0 ? Ink::Red : Ink::Bold},
         {kGap},
         unconfirmed > 0 ? Span{"unconfirmed " + std::to_string(unconfirmed) + kGap, Ink::Yellow}
                         : Span{},
         interrupted > 0 ? Span{"interrupted " + std::to_string(interrupted) + kGap, Ink::Yellow}
                         : Span{},
         {std::string(yield) + kGap + pace, Ink::Bold}});
    if (!banner_.empty()) screen.push_back({{banner_, Ink::Yellow}});
    screen.push_back({});

    size_t portWidth = 4;
    size_t unitWidth = 4;
    for (const Row& row : rows_) {
        portWidth = std::max(portWidth, characterCount(shownFitted(row.port, kLongestPort, true)));
        unitWidth = std::max(unitWidth, characterCount(shownFitted(row.unit, kLongestUnit)));
    }
    screen.push_back({{padded("PORT", portWidth) + kGap + padded("UNIT", unitWidth) + kGap +
                           padded("STATE", kStateWidth) + kGap +
                           padded("LAST RESULT", kMarkWidth + 1 + 8) + kGap + "REASON",
                       Ink::Bold}});
    for (const Row& row : rows_) {
        const std::string state = stateLocked(row);
        ScreenRow line{
            {padded(shownFitted(row.port, kLongestPort, true), portWidth) + kGap +
             padded(row.unit.empty() ? "-" : shownFitted(row.unit, kLongestUnit), unitWidth) +
             kGap},
            {padded(shownFitted(state, kStateWidth), kStateWidth),
             state == "remove the board" ? Ink::Bold : Ink::Plain},
            {kGap}};
        if (row.mark != nullptr) {
            line.push_back({padded(row.mark, kMarkWidth), inkOf(row.severity)});
            line.push_back({" " + row.when + kGap});
        } else {
            line.push_back({padded("", kMarkWidth + 1 + 8) + kGap});
        }
        line.push_back({shownFitted(row.reason, kLongestReason)});
        screen.push_back(std::move(line));
    }
    return screen;
}

void StationBoard::redraw() {
    std::vector<ScreenRow> rows;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::string clock = clockTimeNow();
        if (!changed_ && clock == drawnClock_) return;
        drawnClock_ = clock;
        rows = rowsLocked();
        changed_ = false;
    }
    // Drawn without the lock: a terminal that holds its output (Ctrl-S) never holds up a
    // port's exchange, which reports its progress here.
    screen_->draw(rows);
}

void StationBoard::leave() {
    screen_->leave();
}

}  // namespace quorvel::cli

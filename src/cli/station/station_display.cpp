#include "station_display.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "diagnosis.h"
#include "image_identity.h"
#include "step_words.h"
#include "terminal.h"
#include "text_out.h"
#include "time_text.h"

namespace quorvel::cli {
namespace {

constexpr size_t kLongestReason = 60;
constexpr size_t kLongestProfileName = 20;
constexpr size_t kLongestPort = 24;  // longer names are cut at the front, where they agree
constexpr size_t kLongestUnit = 16;
constexpr size_t kStateWidth = 24;  // "writing 100%, 10:00 left"
constexpr size_t kMarkWidth = 11;   // "UNCONFIRMED"
constexpr const char* kGap = "  ";
// The boards per hour are those of the last hour, shown once this many boards have ended.
constexpr std::chrono::steady_clock::duration kPaceWindow = std::chrono::hours(1);
constexpr int kBoardsForPace = 3;

// The result's colour, in the order of OutcomeSeverity.
constexpr Ink kSeverityInks[kSeverities] = {Ink::Green, Ink::Yellow, Ink::Red, Ink::Yellow};

// What the failed step saw, briefly: the diagnosis's first cause without the advice after its
// colon ("no answer within 2.5 s, 3 tries"); a port's trouble whole. The outcome before it
// ("Deletion failure") names the step.
std::string shortCause(const StepRecord& step) {
    if (!step.portError.empty()) return step.portError;
    const std::vector<std::string> why = explainStep(step);
    if (why.empty()) return failureLine(step);
    return why.front().substr(0, why.front().find(": "));
}

}  // namespace

std::string stationReason(const DeviceResult& r) {
    std::string reason;
    if (!r.interruption.empty()) {
        // Where it stopped; the state it leaves is in the transcript and the record.
        reason = r.interruption.substr(0, r.interruption.find(": "));
    } else if (r.severity == OutcomeSeverity::Unconfirmed) {
        // "3 blocks not confirmed", "the erase and 1 block not confirmed".
        reason = UnconfirmedFrames(r.unconfirmed, true);
        if (!reason.empty()) reason += " not confirmed";
    } else if (const StepRecord* failed = r.failedStep()) {
        reason = shortCause(*failed);
    }
    return shownFitted(reason, kLongestReason);
}

StationLog::StationLog(const CliOptions& options, const std::vector<std::string>& ports,
                       const std::string& sha256, std::FILE* out, std::FILE* err)
    : ports_(ports),
      out_(out),
      err_(err),
      quiet_(options.quiet),
      json_(options.json),
      lines_(true) {
    for (const std::string& port : ports) rows_.emplace_back(port);
    // The image as the operator checks it: its file's name and identity.
    const std::string file =
        QFileInfo(QString::fromStdString(options.args.at(0))).fileName().toStdString();
    const std::string identity = "SHA-256 " + sha256.substr(0, kShownDigits);
    image_ = file + " (" + identity + ")";
    // A station set up by a profile goes by the profile's name.
    if (!options.profileName.empty()) station_ = "station " + shownText(options.profileName);
    if (out == nullptr || options.json || options.quiet || options.verbose) return;
    screen_ = TerminalScreen::open(out);
    if (!screen_) return;
    // The identity stays whole however long the names.
    const std::string profile = options.profileName.empty()
                                    ? ""
                                    : shownFitted(options.profileName, kLongestProfileName) + "  ";
    title_ = profile +
             shownFitted(file, kLongestReason - identity.size() - characterCount(profile) - 2) +
             "  " + identity;
    // On the terminal the board is drawn on, lines would tear it: the board says it all.
    lines_ = !isTerminal(err);
}

void StationLog::line(size_t port, const std::string& text, bool always) {
    if (!lines_ || (quiet_ && !always)) return;
    const std::lock_guard<std::mutex> lock(writing_);
    writeLine(err_, "quorvel-flash: " + ports_.at(port) + ": " + text);
}

template <typename Change>
void StationLog::change(size_t port, Change edit) {
    const std::lock_guard<std::mutex> lock(rowsMutex_);
    edit(rows_.at(port));
    changed_ = true;
}

void StationLog::doing(size_t port, std::string what, const std::string* reason) {
    change(port, [&](Row& row) {
        row.doing = std::move(what);
        row.step.reset();
        if (reason != nullptr) row.reason = *reason;
    });
}

OutcomeCounts StationLog::ended(std::optional<size_t> port) const {
    const std::lock_guard<std::mutex> lock(rowsMutex_);
    return endedLocked(port);
}

std::optional<std::string> StationLog::writtenOn(const std::string& unit) const {
    const std::lock_guard<std::mutex> lock(rowsMutex_);
    const auto found = written_.find(unit);
    if (found == written_.end()) return std::nullopt;
    return found->second;
}

OutcomeCounts StationLog::endedLocked(std::optional<size_t> port) const {
    OutcomeCounts counts;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (port && *port != i) continue;
        for (size_t s = 0; s < kSeverities; ++s) counts.count[s] += rows_[i].ended.count[s];
    }
    return counts;
}

void StationLog::starting() {
    if (!lines_ || quiet_) return;
    writeLine(err_, "quorvel-flash: " + station_ + ": writing every device connected to " +
                        std::to_string(ports_.size()) + (ports_.size() == 1 ? " port" : " ports") +
                        " with " + image_ + "; Ctrl-C ends it");
}

void StationLog::waiting(size_t port) {
    line(port, "waiting for a device", false);
    doing(port, "waiting for a board");
}

void StationLog::scanWanted(size_t port) {
    line(port, "scan the next board's unit id", false);
    doing(port, "scan the unit id");
}

void StationLog::scanRefused(size_t port, const std::string& problem) {
    line(port, problem + "; nothing written, scan again", true);
    doing(port, "scan again", &problem);
}

void StationLog::unusable(size_t port, const std::string& why) {
    line(port, why + "; waiting for a change", true);
    doing(port, "waiting for a change", &why);
}

void StationLog::started(size_t port, int number, const std::string& unit,
                         const std::string& device) {
    line(port, "device " + std::to_string(number) + " on " + device, false);
    change(port, [&](Row& row) {
        row.unit = unit;
        row.doing = "writing";
        row.percent = 0;
        row.walk.reset();
        row.left.clear();
        row.reason.clear();
    });
}

void StationLog::retrying(size_t port, const std::string& unit, const DeviceResult& result,
                          int seconds) {
    const std::string again = std::to_string(seconds) + " s";
    if (const StepRecord* failed = result.failedStep()) line(port, failureLine(*failed), true);
    line(
        port,
        "no answer yet" + (unit.empty() ? "" : " from unit " + unit) + "; trying again in " + again,
        true);
    const std::string reason = stationReason(result);
    doing(port, "no answer, again in " + again, &reason);
}

void StationLog::finished(size_t port, const DeviceResult& r, const std::string& unit, bool gone,
                          const std::string& note) {
    const OutcomeFacts& outcome = r.outcome();
    std::string reason = stationReason(r);
    if (!note.empty()) reason += (reason.empty() ? "" : "; ") + note;
    change(port, [&](Row& row) {
        row.step.reset();
        if (r.severity == OutcomeSeverity::Interrupted) row.doing = "stopped";
        row.mark = outcome.mark;
        row.severity = r.severity;
        row.when = clockTimeNow();
        row.reason = reason;
        // Every attempt ended counts once, with its outcome, as its record line does.
        row.ended.add(r.severity);
        if (r.severity == OutcomeSeverity::Success && !unit.empty())
            written_.emplace(unit, row.port);
        const auto now = std::chrono::steady_clock::now();
        lastHour_.push_back(now);
        while (now - lastHour_.front() > kPaceWindow) lastHour_.pop_front();
    });
    if (screen_ || json_ || out_ == nullptr) return;
    // The outcome, then why; a board that is not plainly written goes aside.
    std::string text = r.interruption.empty() ? outcome.headline : "";
    if (!reason.empty()) text += (text.empty() ? "" : "; ") + reason;
    if (gone) {
        text += "; removed before it answered";
    } else if (r.severity == OutcomeSeverity::Failure ||
               r.severity == OutcomeSeverity::Unconfirmed) {
        text += std::string("; ") + kRemoveTheBoard;
    }
    const std::lock_guard<std::mutex> lock(writing_);
    writeLine(out_, std::string(outcome.mark) + "  " + ports_.at(port) + "  unit " +
                        (unit.empty() ? "-" : unit) + "  " + secondsText(r.ms / 1000) + "  " +
                        text);
}

void StationLog::removeBoard(size_t port) {
    line(port, std::string(kRemoveTheBoard) + "; the next one is written once it is connected",
         false);
    doing(port, kRemoveTheBoard);
}

void StationLog::warning(size_t port, const std::string& text) {
    line(port, "warning: " + text, true);
    // A result's reason stays.
    change(port, [&](Row& row) {
        if (row.reason.empty()) row.reason = "warning: " + text;
    });
}

void StationLog::error(size_t port, const std::string& text) {
    line(port, "error: " + text, true);
    change(port, [&](Row& row) { row.reason = text; });
}

RunDisplay StationLog::display(size_t port) {
    if (!screen_) {
        // The result line says it all: no progress between the lines.
        return {[](Step) {}, [](const StepRecord&) {}, [](int, int, uint32_t) {}};
    }
    return {[this, port](Step step) { change(port, [&](Row& row) { row.step = step; }); },
            [](const StepRecord&) {},
            [this, port](int done, int total, uint32_t) {
                change(port, [&](Row& row) {
                    // The walk's clock starts with its first block; its pace is that of the
                    // blocks answered.
                    if (done <= 1 || !row.walk) row.walk.emplace(std::max(total, 1));
                    row.percent = std::clamp(done * 100 / std::max(total, 1), 0, 100);
                    const auto left = row.walk->left(done - 1);
                    row.left = left ? minutesText(std::llround(left->count())) + " left" : "";
                });
            }};
}

void StationLog::backlog(const RecordBacklog& b) {
    const std::string text = backlogText(b);
    {
        const std::lock_guard<std::mutex> lock(rowsMutex_);
        changed_ = changed_ || text != banner_;
        banner_ = text;
    }
    if (text.empty() == !backlogShown_) return;
    backlogShown_ = !text.empty();
    if (!lines_) return;
    const std::lock_guard<std::mutex> lock(writing_);
    if (backlogShown_) {
        writeLine(err_, "quorvel-flash: " + station_ + ": warning: " + text + " (" + b.where +
                            (b.problem.empty() ? "" : "; " + b.problem) +
                            "); the boards go on and the lines are sent when it answers");
    } else if (!quiet_) {
        writeLine(err_, "quorvel-flash: " + station_ +
                            ": the database answers again; no line waits in the spool");
    }
}

std::vector<ScreenRow> StationLog::boardLocked() const {
    const OutcomeCounts totals = endedLocked(std::nullopt);
    const int written = totals[OutcomeSeverity::Success];
    const int failed = totals[OutcomeSeverity::Failure];
    const int unconfirmed = totals[OutcomeSeverity::Unconfirmed];
    const int interrupted = totals[OutcomeSeverity::Interrupted];
    char yield[32] = "yield -";
    char pace[32] = "- boards/h";
    if (const std::optional<double> share = totals.yield()) {
        std::snprintf(yield, sizeof yield, "yield %.1f%%", *share);
    }
    // The pace of the last hour (or of the time since the start, when shorter), once a few
    // boards tell it: one board early on says nothing of the line's pace.
    if (totals.total() >= kBoardsForPace) {
        const auto now = std::chrono::steady_clock::now();
        const double hours =
            std::chrono::duration<double, std::ratio<3600>>(
                std::min<std::chrono::steady_clock::duration>(now - begun_, kPaceWindow))
                .count();
        size_t recent = 0;
        for (const auto& at : lastHour_) recent += now - at <= kPaceWindow ? 1 : 0;
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
        std::string state = row.doing;
        if (row.step == Step::Program) {
            state = "writing " + std::to_string(row.percent) + "%" +
                    (row.left.empty() ? "" : ", " + row.left);
        } else if (row.step) {
            state = "writing: " + std::string(StepName(*row.step));
        }
        ScreenRow line{
            {padded(shownFitted(row.port, kLongestPort, true), portWidth) + kGap +
             padded(row.unit.empty() ? "-" : shownFitted(row.unit, kLongestUnit), unitWidth) +
             kGap},
            {padded(shownFitted(state, kStateWidth), kStateWidth),
             state == kRemoveTheBoard ? Ink::Bold : Ink::Plain},
            {kGap}};
        if (row.mark != nullptr) {
            line.push_back(
                {padded(row.mark, kMarkWidth), kSeverityInks[static_cast<size_t>(row.severity)]});
            line.push_back({" " + row.when + kGap});
        } else {
            line.push_back({padded("", kMarkWidth + 1 + 8) + kGap});
        }
        line.push_back({shownFitted(row.reason, kLongestReason)});
        screen.push_back(std::move(line));
    }
    return screen;
}

void StationLog::redraw(bool stopping) {
    if (!screen_) return;
    std::vector<ScreenRow> rows;
    {
        const std::lock_guard<std::mutex> lock(rowsMutex_);
        // Once the station ends, the board says so at every drawing.
        stopping_ = stopping_ || stopping;
        const std::string clock = clockTimeNow();
        if (!changed_ && !stopping && clock == drawnClock_) return;
        drawnClock_ = clock;
        rows = boardLocked();
        changed_ = false;
    }
    // Drawn without the lock: a terminal that holds its output (Ctrl-S) never holds up a
    // port's exchange, which reports its progress here.
    screen_->draw(rows);
}

void StationLog::leave() {
    if (!screen_) return;
    redraw(false);
    screen_->leave();
}

}  // namespace quorvel::cli

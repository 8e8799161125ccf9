#include "station_display.h"

#include <QFileInfo>

#include "block_walk.h"
#include "diagnosis.h"
#include "image_identity.h"
#include "step_words.h"
#include "terminal.h"
#include "text_out.h"
#include "walk_progress.h"

namespace quorvel::cli {
namespace {

constexpr size_t kLongestReason = 60;
constexpr size_t kLongestProfileName = 20;

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
    // The image as the operator checks it: its file's name and identity.
    const std::string file =
        QFileInfo(QString::fromStdString(options.args.at(0))).fileName().toStdString();
    const std::string identity = "SHA-256 " + sha256.substr(0, kShownDigits);
    image_ = file + " (" + identity + ")";
    // A station set up by a profile goes by the profile's name.
    if (!options.profileName.empty()) station_ = "station " + shownText(options.profileName);
    if (out == nullptr || options.json || options.quiet || options.verbose) return;
    std::unique_ptr<TerminalScreen> screen = TerminalScreen::open(out);
    if (!screen) return;
    // The identity stays whole however long the names.
    const std::string profile = options.profileName.empty()
                                    ? ""
                                    : shownFitted(options.profileName, kLongestProfileName) + "  ";
    const std::string title =
        profile +
        shownFitted(file, kLongestReason - identity.size() - characterCount(profile) - 2) + "  " +
        identity;
    board_ = std::make_unique<StationBoard>(std::move(screen), title, ports);
    // On the terminal the board is drawn on, lines would tear it: the board says it all.
    lines_ = !isTerminal(err);
}

void StationLog::line(size_t port, const std::string& text, bool always) {
    if (!lines_ || (quiet_ && !always)) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    writeLine(err_, "quorvel-flash: " + ports_.at(port) + ": " + text);
}

void StationLog::starting() {
    if (!lines_ || quiet_) return;
    writeLine(err_, "quorvel-flash: " + station_ + ": writing every device connected to " +
                        std::to_string(ports_.size()) + (ports_.size() == 1 ? " port" : " ports") +
                        " with " + image_ + "; Ctrl-C ends it");
}

void StationLog::waiting(size_t port) {
    line(port, "waiting for a device", false);
    if (board_) board_->doing(port, "waiting for a board");
}

void StationLog::scanWanted(size_t port) {
    line(port, "scan the next board's unit id", false);
    if (board_) board_->doing(port, "scan the unit id");
}

void StationLog::scanRefused(size_t port, const std::string& problem) {
    line(port, problem + "; nothing written, scan again", true);
    if (board_) {
        board_->doing(port, "scan again");
        board_->reason(port, problem);
    }
}

void StationLog::unusable(size_t port, const std::string& why) {
    line(port, why + "; waiting for a change", true);
    if (board_) {
        board_->doing(port, "waiting for a change");
        board_->reason(port, why);
    }
}

void StationLog::started(size_t port, int number, const std::string& unit,
                         const std::string& device) {
    line(port, "device " + std::to_string(number) + " on " + device, false);
    if (board_) board_->started(port, unit);
}

void StationLog::retrying(size_t port, const std::string& unit, const DeviceResult& result,
                          int seconds) {
    const std::string again = std::to_string(seconds) + " s";
    if (const StepRecord* failed = result.failedStep()) line(port, failureLine(*failed), true);
    line(
        port,
        "no answer yet" + (unit.empty() ? "" : " from unit " + unit) + "; trying again in " + again,
        true);
    if (board_) {
        board_->doing(port, "no answer, again in " + again);
        board_->reason(port, stationReason(result));
    }
}

void StationLog::finished(size_t port, const DeviceResult& r, const std::string& unit, bool gone,
                          const std::string& note) {
    const OutcomeFacts& outcome = r.outcome();
    std::string reason = stationReason(r);
    if (!note.empty()) reason += (reason.empty() ? "" : "; ") + note;
    if (board_) {
        board_->finished(port, outcome.mark, r.severity, reason);
        return;
    }
    if (json_ || out_ == nullptr) return;
    // The outcome, then why; a board that is not plainly written goes aside.
    std::string text = r.interruption.empty() ? outcome.headline : "";
    if (!reason.empty()) text += (text.empty() ? "" : "; ") + reason;
    if (gone) {
        text += "; removed before it answered";
    } else if (r.severity == OutcomeSeverity::Failure ||
               r.severity == OutcomeSeverity::Unconfirmed) {
        text += std::string("; ") + kRemoveTheBoard;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    writeLine(out_, std::string(outcome.mark) + "  " + ports_.at(port) + "  unit " +
                        (unit.empty() ? "-" : unit) + "  " + secondsText(r.ms / 1000) + "  " +
                        text);
}

void StationLog::removeBoard(size_t port) {
    line(port, std::string(kRemoveTheBoard) + "; the next one is written once it is connected",
         false);
    if (board_) board_->doing(port, kRemoveTheBoard);
}

void StationLog::warning(size_t port, const std::string& text) {
    line(port, "warning: " + text, true);
    if (board_) board_->reason(port, "warning: " + text, true);
}

void StationLog::error(size_t port, const std::string& text) {
    line(port, "error: " + text, true);
    if (board_) board_->reason(port, text);
}

RunDisplay StationLog::display(size_t port) {
    if (!board_) {
        // The result line says it all: no progress between the lines.
        return {[](Step) {}, [](const StepRecord&) {}, [](int, int, uint32_t) {}};
    }
    StationBoard& board = *board_;
    return {[&board, port](Step step) { board.stepStarted(port, step); }, [](const StepRecord&) {},
            [&board, port](int done, int total, uint32_t) { board.progress(port, done, total); }};
}

void StationLog::backlog(const RecordBacklog& b) {
    const std::string text = backlogText(b);
    if (board_) board_->banner(text);
    if (text.empty() == !backlogShown_) return;
    backlogShown_ = !text.empty();
    if (!lines_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (backlogShown_) {
        writeLine(err_, "quorvel-flash: " + station_ + ": warning: " + text + " (" + b.where +
                            (b.problem.empty() ? "" : "; " + b.problem) +
                            "); the boards go on and the lines are sent when it answers");
    } else if (!quiet_) {
        writeLine(err_, "quorvel-flash: " + station_ +
                            ": the database answers again; no line waits in the spool");
    }
}

void StationLog::redraw(bool stopping) {
    if (!board_) return;
    if (stopping) board_->stopping();
    board_->redraw();
}

void StationLog::leave() {
    if (!board_) return;
    board_->redraw();
    board_->leave();
}

}  // namespace quorvel::cli

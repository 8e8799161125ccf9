#pragma once
// The operator board of a station on a terminal: one row per fixture, redrawn in place, that
// an operator reads from a few steps away. Each row shows the port, the board's unit, what the
// station does there (waiting, writing with the percent and the time left, remove the board),
// the last result with its time of day, and a short reason. Above the rows, the running
// totals, counted as the record counts them (each attempt once, with its final outcome):
// written, failed, unconfirmed and interrupted, the yield and the boards of the last hour.
//
// The port threads report through the event functions, from any thread; only the thread that
// owns the terminal calls redraw() and leave().

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "rewrite_outcome.h"
#include "terminal_screen.h"
#include "time_left.h"

namespace quorvel::cli {

class StationBoard {
  public:
    // `title` heads the board (the image written); `ports` name the rows.
    StationBoard(std::unique_ptr<TerminalScreen> screen, std::string title,
                 const std::vector<std::string>& ports);

    // What the station does on a port now: "waiting for a device", "scan the unit id"...
    void doing(size_t port, std::string what);
    // A board is being written on the port: its unit, or empty.
    void started(size_t port, const std::string& unit);
    void stepStarted(size_t port, Step step);
    void progress(size_t port, int done, int total);
    // The board's result: its mark ("PASS", "FAIL"), how bad it is and the short reason.
    void finished(size_t port, const char* mark, OutcomeSeverity severity, std::string reason);
    // Something the operator should read on the port's row: why it waits, a warning. With
    // `unlessSet`, a reason already there (a result's) stays.
    void reason(size_t port, std::string text, bool unlessSet = false);
    // The station ends after the boards in hand.
    void stopping();
    // A lasting line under the totals in the warning colour ("database unreachable since
    // 10:42: 12 lines wait in the spool"); empty takes it away.
    void banner(std::string text);

    // Draws the board when something changed, or the clock moved on.
    void redraw();
    // The last drawing stays; the cursor goes under it.
    void leave();

  private:
    struct Row {
        std::string port;
        std::string unit;
        std::string doing;
        std::optional<Step> step;
        int percent = 0;
        std::optional<TimeLeft> walk;
        std::string left;  // "0:21 left"
        const char* mark = nullptr;
        OutcomeSeverity severity = OutcomeSeverity::Success;
        std::string when;  // the time of day of the last result
        std::string reason;
    };

    std::vector<ScreenRow> rowsLocked() const;
    std::string stateLocked(const Row& row) const;

    std::unique_ptr<TerminalScreen> screen_;
    std::string title_;
    std::chrono::steady_clock::time_point begun_;
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    OutcomeCounts totals_;
    std::deque<std::chrono::steady_clock::time_point> ended_;  // of the last hour's boards
    bool stopping_ = false;
    std::string banner_;
    bool changed_ = true;
    std::string drawnClock_;
};

}  // namespace quorvel::cli

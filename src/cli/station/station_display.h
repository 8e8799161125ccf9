#pragma once
// What a station shows while it runs. On a terminal, an operator board that an operator reads
// from a few steps away: one row per fixture, redrawn in place, with the port, the board's
// unit, what the station does there (waiting, writing with the percent and the time left,
// remove the board), the last result with its time of day, and a short reason; above the rows,
// the running totals, counted as the record counts them (each attempt once, with its final
// outcome): written, failed, unconfirmed and interrupted, the yield and the boards of the last
// hour. Otherwise one result line per device on standard output ("PASS  COM1  unit U-1002
// 46.2 s  Rewriting success!") and the station's words on standard error, a line each.
// Several port threads report at once; each line goes out whole. The whole diagnosis of a
// failed device is in its transcript and record, not here.

#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device_result.h"
#include "device_run.h"
#include "record_sink.h"
#include "terminal_screen.h"
#include "time_left.h"

namespace quorvel::cli {

// What the operator does with a board the station is done with.
inline constexpr const char* kRemoveTheBoard = "remove the board";

// Why a device did not end in plain success, in at most about 60 characters: "the device
// refused the erase (it answered 'E')", "no answer within 2.5 s, 2 tries". Empty for success.
std::string stationReason(const DeviceResult& result);

class StationLog {
  public:
    // The board is shown when standard output is a terminal that can show it and neither JSON,
    // quiet nor verbose output was asked for.
    // `sha256` is the image file's, which the board's header and the first line show.
    StationLog(const CliOptions& options, const std::vector<std::string>& ports,
               const std::string& sha256, std::FILE* out, std::FILE* err);

    // The station's start: "station: writing every device connected to 2 ports with fw.mot
    // (SHA-256 5f1c0a9d7e3b); Ctrl-C ends it", "station line3: ..." with a profile's name.
    void starting();
    void waiting(size_t port);
    void scanWanted(size_t port);
    void scanRefused(size_t port, const std::string& problem);
    // A port that cannot be used now, or a device another writer holds, with the reason.
    void unusable(size_t port, const std::string& why);
    void started(size_t port, int number, const std::string& unit, const std::string& device);
    // A board that did not answer its connect (not powered yet): tried again where it is in
    // `seconds`.
    void retrying(size_t port, const std::string& unit, const DeviceResult& result, int seconds);
    // A board's attempt ended; `gone`: the board left before it answered (nothing to remove).
    // `note`, when given, is said after the reason ("unit check not made: ...").
    void finished(size_t port, const DeviceResult& result, const std::string& unit, bool gone,
                  const std::string& note = {});
    void removeBoard(size_t port);
    void warning(size_t port, const std::string& text);
    void error(size_t port, const std::string& text);

    // Where a device's steps and progress go.
    RunDisplay display(size_t port);
    // Where -v shows the exchanges.
    std::FILE* err() const { return err_; }
    // The attempts ended on the port, or on every port, each once with its final outcome.
    OutcomeCounts ended(std::optional<size_t> port = std::nullopt) const;
    // The port a board with `unit` was written on, or none: a label scanned twice is refused
    // even while its record's lines wait for the database.
    std::optional<std::string> writtenOn(const std::string& unit) const;

    // What waits for the record's database: a lasting banner on the board, a line when it
    // starts and when it ends. Call often, from the thread that redraws.
    void backlog(const RecordBacklog& backlog);

    // Board: redraws it when something changed or the clock moved on (call often, from one
    // thread), and leaves it drawn at the end with the cursor under it.
    void redraw(bool stopping);
    void leave();

  private:
    struct Row {
        explicit Row(std::string name) : port(std::move(name)) {}
        std::string port;
        std::string unit;
        std::string doing = "starting";
        std::optional<Step> step;
        int percent = 0;
        std::optional<TimeLeft> walk;
        std::string left;  // "0:21 left"
        const char* mark = nullptr;
        OutcomeSeverity severity = OutcomeSeverity::Success;
        std::string when;  // the time of day of the last result
        std::string reason;
        OutcomeCounts ended;
    };

    void line(size_t port, const std::string& text, bool always);
    // Changes the port's row for the board's next drawing.
    template <typename Change>
    void change(size_t port, Change edit);
    // What the station does on the port now ("waiting for a board"), and why when `reason`.
    void doing(size_t port, std::string what, const std::string* reason = nullptr);
    OutcomeCounts endedLocked(std::optional<size_t> port) const;
    // The board as it is now.
    std::vector<ScreenRow> boardLocked() const;

    std::vector<std::string> ports_;
    std::string image_;                // "fw.mot (SHA-256 5f1c0a9d7e3b)"
    std::string station_ = "station";  // "station line3" when a profile names it
    std::FILE* out_;
    std::FILE* err_;
    bool quiet_;
    bool json_;
    bool lines_;  // the station's words on standard error: not on the terminal the board is on
    bool backlogShown_ = false;  // the database's trouble was said
    std::mutex writing_;         // one line at a time on the streams

    // The board: drawn on `screen_` when there is one, kept in any case.
    std::unique_ptr<TerminalScreen> screen_;
    std::string title_;  // the image written, which heads the board
    std::chrono::steady_clock::time_point begun_ = std::chrono::steady_clock::now();
    mutable std::mutex rowsMutex_;
    std::vector<Row> rows_;
    std::deque<std::chrono::steady_clock::time_point> lastHour_;  // when its boards ended
    std::map<std::string, std::string> written_;                  // unit ids, with their port
    bool stopping_ = false;
    std::string banner_;
    bool changed_ = true;
    std::string drawnClock_;
};

}  // namespace quorvel::cli

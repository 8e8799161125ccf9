#pragma once
// What a station shows while it runs. On a terminal, an operator board (one row per fixture,
// redrawn in place, see station_board.h); otherwise one result line per device on standard
// output ("PASS  COM1  unit U-1002  46.2 s  Rewriting success!") and the station's words on
// standard error, a line each. Several port threads report at once; each line goes out whole.
// The whole diagnosis of a failed device is in its transcript and record, not here.

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli_options.h"
#include "device_result.h"
#include "device_run.h"
#include "record_sink.h"
#include "station_board.h"

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

    // What waits for the record's database: a lasting banner on the board, a line when it
    // starts and when it ends. Call often, from the thread that redraws.
    void backlog(const RecordBacklog& backlog);

    bool drawsBoard() const { return board_ != nullptr; }
    // Board: redraws it when something changed (call often, from one thread), and leaves it
    // drawn at the end with the cursor under it.
    void redraw(bool stopping);
    void leave();

  private:
    void line(size_t port, const std::string& text, bool always);

    std::vector<std::string> ports_;
    std::string image_;                // "fw.mot (SHA-256 5f1c0a9d7e3b)"
    std::string station_ = "station";  // "station line3" when a profile names it
    std::FILE* out_;
    std::FILE* err_;
    bool quiet_;
    bool json_;
    bool lines_;  // the station's words on standard error: not on the terminal the board is on
    std::unique_ptr<StationBoard> board_;
    bool backlogShown_ = false;  // the database's trouble was said
    std::mutex mutex_;
};

}  // namespace quorvel::cli

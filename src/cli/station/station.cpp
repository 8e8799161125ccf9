#include "station.h"

#include <QDeadlineTimer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device_attempt.h"
#include "device_hold.h"
#include "device_lock.h"
#include "device_options.h"
#include "device_report.h"
#include "device_run.h"
#include "json_run.h"
#include "log_paths.h"
#include "port_description.h"
#include "port_mapping.h"
#include "serial_port_transport.h"
#include "station_display.h"
#include "stop_signals.h"
#include "unit_id.h"
#include "unit_written.h"

namespace quorvel::cli {

namespace {

// How often a waiting station looks at its port.
constexpr int kStationPollMs = 500;

// Whether a port's device is there. Listing the system's serial ports (what a COM number
// needs) costs far more than a glance at the device folder's time stamp, so the port is looked
// up again only when that folder changed: an adapter plugged in or pulled out changes it.
class PortWatch {
  public:
    explicit PortWatch(const ExchangeSettings& settings) : settings_(settings) {}

    // The device exists; with `opens`, it can also be opened now (else openFailure() says why).
    bool present(bool opens) {
        openFailure_.clear();
        const std::string device = lookUp();
        std::error_code error;
        if (device.empty() || !std::filesystem::exists(device, error)) return false;
        if (!opens) return true;
        SerialPortTransport probe;
        const bool opened = probe.open(settings_);
        if (!opened) openFailure_ = probe.failureText();
        probe.close();
        return opened;
    }
    // The identity of the device node there now, empty when none is: a replugged adapter or a
    // new pseudo-terminal has another (see deviceIdentity).
    std::string identity() { return deviceIdentity(lookUp()); }
    const std::string& openFailure() const { return openFailure_; }

  private:
    std::string lookUp() {
        std::error_code error;
        const auto stamp = std::filesystem::last_write_time(kDeviceFolder, error);
        if (error || !stamp_ || *stamp_ != stamp) {
            device_ = resolvedDevice(settings_);
            stamp_.reset();
            if (!error) stamp_ = stamp;
        }
        return device_;
    }

    static constexpr const char* kDeviceFolder = "/dev";
    const ExchangeSettings& settings_;
    std::optional<std::filesystem::file_time_type> stamp_;
    std::string device_;
    std::string openFailure_;
};

// Set when a record line could not be added: every port ends after its device in hand.
std::atomic<bool> recordLost{false};

bool stationEnds() {
    return stopRequestedByUser() || recordLost.load();
}

// One line of the scanner's input: the unit id it holds, blanks around it dropped, or a line
// longer than any unit id, which is refused without being kept.
struct Scan {
    std::string unit;
    bool tooLong = false;
};

// A line up to this long is kept whole: a unit id of 64 characters of up to 4 bytes, with
// blanks around it. Of a longer line nothing is kept; it is read to its end and refused.
constexpr size_t kLongestScan = kLongestUnitId * 4 + 64;

// Unit ids as a barcode scanner types them, one a line. They are read on a thread of their own,
// so that a station waiting for the next scan still sees Ctrl-C; the state is shared with that
// thread, which may still be blocked in its read when the station ends.
class ScanQueue {
  public:
    explicit ScanQueue(std::FILE* in) : state_(std::make_shared<State>()) {
        std::thread([state = state_, in] {
            Scan scan;
            for (int c = std::getc(in);; c = std::getc(in)) {
                if (c == EOF || c == '\n') {
                    // The input's end after its last line is no scan.
                    if (c == '\n' || !scan.unit.empty() || scan.tooLong) {
                        state->push(std::move(scan));
                    }
                    if (c == EOF) break;
                    scan = {};
                } else if (!scan.tooLong) {
                    scan.unit += static_cast<char>(c);
                    if (scan.unit.size() > kLongestScan) scan = {{}, true};
                }
            }
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->ended = true;
            state->changed.notify_all();
        }).detach();
    }

    // The next scan; false at the end of the input or when the station ends.
    bool next(Scan& scan) {
        std::unique_lock<std::mutex> lock(state_->mutex);
        while (!stationEnds()) {
            if (!state_->scans.empty()) {
                scan = std::move(state_->scans.front());
                state_->scans.pop_front();
                return true;
            }
            if (state_->ended) return false;
            state_->changed.wait_for(lock, std::chrono::milliseconds(kStationPollMs));
        }
        return false;
    }

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Scan> scans;
        bool ended = false;
        // Keeps the line without the blanks around it (a line of blanks only is an empty
        // scan); a line too long to be a unit id is kept as one to refuse.
        void push(Scan scan) {
            const size_t first = scan.unit.find_first_not_of(" \t\r");
            if (first == std::string::npos) {
                scan.unit.clear();
            } else {
                const size_t last = scan.unit.find_last_not_of(" \t\r");
                scan.unit = scan.unit.substr(first, last - first + 1);
            }
            const std::lock_guard<std::mutex> lock(mutex);
            scans.push_back(std::move(scan));
            changed.notify_all();
        }
    };
    std::shared_ptr<State> state_;
};

// Why a scan cannot name the board it is meant for, or empty when it can.
std::string scanProblem(const Scan& scan) {
    if (scan.tooLong) {
        return "scan refused: the line is longer than a unit id can be (at most " +
               std::to_string(kLongestUnitId) + " characters)";
    }
    if (scan.unit.empty()) return "empty scan";
    const std::string problem = unitIdProblem(scan.unit);
    return problem.empty() ? problem : "scan " + scan.unit + " refused: a unit id " + problem;
}

// How often the board is looked at for a change to draw.
constexpr int kRedrawMs = 200;

// How long the lines of the last boards are given to reach the record's database at the end.
constexpr int kLastLinesMs = 2000;

// How long a board that did not answer the connect is left before it is tried again.
constexpr int kRetryMs = 3000;

class StationWorker final : public QThread {
  public:
    StationWorker(const CliOptions& options, ExchangeSettings settings, const LoadedImage& loaded,
                  size_t index, StationLog& log, RecordSink* record, ScanQueue* scans)
        : options_(options),
          settings_(std::move(settings)),
          loaded_(loaded),
          index_(index),
          log_(log),
          record_(record),
          port_(targetName(settings_)),
          watch_(settings_),
          scans_(scans),
          unit_(options.unit) {}
    // Its devices' JSON objects, with --json.
    const QJsonArray& json() const { return json_; }

  protected:
    void run() override {
        if (scans_ != nullptr) {
            runScans();
        } else {
            runDevices();
        }
        closeUnanswered(false);
    }

  private:
    // Every device that appears on the port, each written once.
    void runDevices() {
        if (!waitForDevice()) return;
        for (;;) {
            const Tried tried = writeOne();
            if (interrupted() || stationEnds()) return;
            // Taken after the write: what the write's own opening and closing left.
            const std::string identity = watch_.identity();
            if (tried != Tried::Ended) {
                // Nothing was erased: the board (not powered yet, not in its loader) is tried
                // again where it is, with no need to remove it. Once it is gone, its attempt
                // ends at once, and the fixture waits for the next board.
                if (tried == Tried::Silent && !identity.empty()) {
                    if (!waitWhileSame(identity, kRetryMs)) return;
                    if (watch_.identity() == identity) continue;
                }
                closeUnanswered(true);
            } else {
                log_.removeBoard(index_);
                if (!waitWhileSame(identity, -1)) return;
            }
            hold_.release();
            if (!waitForDevice()) return;
        }
    }

    // A fixture whose adapter stays: each scan names the board now on it, which is written
    // once (tried again while it does not answer); the next scan is the next board.
    void runScans() {
        for (;;) {
            log_.scanWanted(index_);
            Scan scan;
            if (!scans_->next(scan)) return;
            if (const std::string problem = scanProblem(scan); !problem.empty()) {
                log_.scanRefused(index_, problem);
                continue;
            }
            // A label read twice, or a board put back: this run or the record says it is
            // written.
            unitCheck_.clear();
            if (record_ != nullptr && !options_.rewrite) {
                std::string unasked;
                std::string written;  // where the unit was written before, if it was
                if (const std::optional<std::string> found = findUnitWritten(
                        options_.record, scan.unit, &unasked, record_->backlog().since)) {
                    written = *found;
                } else if (const std::optional<std::string> port = log_.writtenOn(scan.unit)) {
                    // Its lines on their way to the record.
                    written = "unit " + scan.unit + " was written by this station, port " + *port;
                }
                if (!written.empty()) {
                    log_.scanRefused(index_, "scan " + scan.unit + " refused: " + written +
                                                 " (--rewrite writes it again)");
                    continue;
                }
                // Written all the same, as the line expects, and said: its record marks it.
                if (!unasked.empty()) {
                    unitCheck_ = "not made: " + unasked;
                    log_.warning(index_, "unit " + scan.unit +
                                             ": the check whether it is written already was " +
                                             unitCheck_);
                }
            }
            unit_ = std::move(scan.unit);
            if (!waitForDevice()) return;
            Tried tried = writeOne();
            for (; tried == Tried::Silent; tried = writeOne()) {
                if (stationEnds()) return;
                const std::string identity = watch_.identity();
                if (!waitWhileSame(identity, kRetryMs)) return;
            }
            // The fixture's adapter went away with the board on it: the board's attempt ends,
            // and the board on the fixture once it is back is named by the next scan.
            if (tried == Tried::Gone) closeUnanswered(true);
            if (interrupted() || stationEnds()) return;
        }
    }

    // Waits until a device is there, held for this station, and opens; false when a stop was
    // asked for meanwhile. A device another writer holds, or a port that cannot be opened, is
    // said once with its reason, then watched for a change.
    bool waitForDevice() {
        log_.waiting(index_);
        std::string said;
        const auto sayOnce = [&](const std::string& why) {
            if (why.empty() || why == said) return;
            said = why;
            log_.unusable(index_, why);
        };
        while (!stationEnds()) {
            if (watch_.present(false)) {
                if (!hold_.take(settings_)) {
                    sayOnce(hold_.refusal());
                } else if (watch_.present(true)) {
                    return true;
                } else {
                    hold_.release();
                    sayOnce(watch_.openFailure());
                }
            }
            QThread::msleep(kStationPollMs);
        }
        return false;
    }

    // Waits while the device there is the one with `identity`, at most `ms` (-1: for as long
    // as it stays); false when a stop was asked for meanwhile. A board replugged between two
    // looks has another identity: it is never taken for the one written.
    bool waitWhileSame(const std::string& identity, int ms) {
        int waited = 0;
        while (!stationEnds()) {
            if (watch_.identity() != identity) return true;
            if (ms >= 0 && waited >= ms) return true;
            QThread::msleep(kStationPollMs);
            waited += kStationPollMs;
        }
        return false;
    }

    bool interrupted() const { return log_.ended(index_)[OutcomeSeverity::Interrupted] > 0; }

    // Writes the device there. A board whose connect goes unanswered (not powered yet, not in
    // its loader) is Silent: nothing is counted or recorded yet, and it is tried again under
    // the same attempt and transcript. One whose port went away during those tries is Gone.
    enum class Tried { Ended, Silent, Gone };
    Tried writeOne() {
        const int number = log_.ended(index_).total() + 1;
        log_.started(index_, number, unit_, describePort(settings_));
        // One attempt per board, with one transcript: the tries of a board that does not
        // answer yet go on under the started line of the first.
        if (!attempt_) {
            attempt_.emplace(options_.verbose ? log_.err() : nullptr, port_);
            if (!attempt_->startRecord(record_, settings_, port_, unit_, loaded_.facts,
                                       options_.profileName, unitCheck_)) {
                attempt_.reset();
                recordFailed(record_->failure() + "; nothing was sent");
                return Tried::Ended;
            }
            attemptBegun_ = std::chrono::steady_clock::now();
            if (!options_.logFile.empty()) {
                const std::string problem = attempt_->transcript.open(
                    logPathForDevice(options_.logFile, port_, number, unit_), options_.command,
                    port_);
                if (!problem.empty()) log_.warning(index_, problem);
            }
        }
        DeviceResult result = runDevice({commandOf(options_).work, options_.showsProgress(),
                                         settings_, port_, loaded_.image, attempt_->transcript,
                                         unit_, log_.display(index_), nullptr, kRemoveTheBoard});
        if (result.outcome().failedStep == Step::Connect && !result.steps.empty() &&
            !stationEnds()) {
            // The port itself failed (the board's adapter pulled out): gone, not silent. Its
            // attempt ends as what the board last did: no answer.
            if (!result.steps.back().portError.empty()) {
                if (!unanswered_) unanswered_ = std::move(result);
                return Tried::Gone;
            }
            log_.retrying(index_, unit_, result, kRetryMs / 1000);
            unanswered_ = std::move(result);
            return Tried::Silent;
        }
        unanswered_.reset();
        endAttempt(result, false);
        return Tried::Ended;
    }

    // Adds the attempt's final line before the next device can start on this port, counts it
    // and says its result. `gone`: the board left without being written, and needs no removal.
    void endAttempt(DeviceResult& result, bool gone) {
        attempt_->keepRecord(result, loaded_.image);
        const DeviceReport report = ReportDevice(result, false);
        // The whole story in the transcript; the operator reads the short one.
        attempt_->transcript.line(std::string("result: ") + result.outcome().mark + " " +
                                  result.outcome().headline);
        for (const std::string& why : report.wentWrong) attempt_->transcript.line("  " + why);
        attempt_.reset();
        log_.finished(index_, result, unit_, gone,
                      unitCheck_.empty() ? "" : "unit check " + unitCheck_);
        for (const std::string& w : report.warnings) log_.warning(index_, w);
        // Kept for the JSON report only: a long-running station does not grow with its devices.
        if (options_.json) json_.append(report.json);
        if (!result.recordFailure.empty()) recordFailed(result.recordFailure);
    }

    // A device that cannot be recorded cannot be traced: no more are written.
    void recordFailed(const std::string& why) {
        recordLost.store(true);
        log_.error(index_, why + "; the station stops after the devices in hand");
    }

    // Ends the attempt at a board that never answered its connect and is given up (removed,
    // or the station ends): it was not written, and it counts as the failure its record says,
    // with the time since its first try.
    void closeUnanswered(bool gone) {
        if (attempt_ && unanswered_) {
            unanswered_->ms = std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - attemptBegun_)
                                  .count();
            endAttempt(*unanswered_, gone);
        }
        attempt_.reset();
        unanswered_.reset();
    }

    const CliOptions& options_;
    ExchangeSettings settings_;
    const LoadedImage& loaded_;
    size_t index_;
    StationLog& log_;
    RecordSink* record_;
    std::string port_;
    QJsonArray json_;
    PortWatch watch_;
    DeviceHold hold_;        // the device there, from its detection until it is removed
    ScanQueue* scans_;       // with --scan: the unit ids to write, one board each
    std::string unit_;       // the board's unit id, or empty
    std::string unitCheck_;  // why the record could not say whether it is written
    // The board's attempt, with its transcript from its first try to its end: started and not
    // yet ended.
    std::optional<DeviceAttempt> attempt_;
    std::optional<DeviceResult> unanswered_;  // its last try, while its connect goes unanswered
    std::chrono::steady_clock::time_point attemptBegun_;
};

QJsonObject tallyJson(const OutcomeCounts& t) {
    return {{"written", t[OutcomeSeverity::Success]},
            {"failed", t[OutcomeSeverity::Failure]},
            {"unconfirmed", t[OutcomeSeverity::Unconfirmed]},
            {"interrupted", t[OutcomeSeverity::Interrupted] > 0}};
}

// "3 written, 1 failed", with ", 2 unconfirmed" and ", 1 interrupted" when there are any:
// every attempt ended, once, as the board and the record count it.
std::string tallyText(const OutcomeCounts& t, const char* written) {
    const auto some = [&t](OutcomeSeverity severity, const char* word) {
        const int n = t[severity];
        return n > 0 ? ", " + std::to_string(n) + word : std::string();
    };
    return std::to_string(t[OutcomeSeverity::Success]) + written + ", " +
           std::to_string(t[OutcomeSeverity::Failure]) + " failed" +
           some(OutcomeSeverity::Unconfirmed, " unconfirmed") +
           some(OutcomeSeverity::Interrupted, " interrupted");
}

// "standard output", "standard error" or both: the streams whose writes failed.
std::string failedOutputs(std::FILE* out, std::FILE* err) {
    const bool outFailed = out != nullptr && std::ferror(out) != 0;
    const bool errFailed = std::ferror(err) != 0;
    if (outFailed && errFailed) return "standard output and standard error";
    return errFailed ? "standard error" : "standard output";
}

}  // namespace

CommandResult runStation(const CliOptions& options, const std::vector<ExchangeSettings>& ports,
                         const LoadedImage& loaded, std::FILE* out, std::FILE* err,
                         RecordSink* record, std::FILE* in) {
    recordLost.store(false);
    std::unique_ptr<ScanQueue> scans;
    if (options.scan) scans = std::make_unique<ScanQueue>(in);
    std::vector<std::string> names;
    for (const ExchangeSettings& s : ports) names.push_back(targetName(s));
    StationLog log(options, names, loaded.facts.sha256, out, err);
    log.starting();

    std::vector<std::unique_ptr<StationWorker>> workers;
    for (size_t i = 0; i < ports.size(); ++i) {
        workers.push_back(std::make_unique<StationWorker>(options, ports[i], loaded, i, log, record,
                                                          scans.get()));
    }
    for (auto& worker : workers) worker->start();
    // The board is drawn here, on the one thread that owns the terminal, while the ports run;
    // without one, this thread sleeps until they end.
    // What waits for the record's database is looked at as often, board or not.
    for (auto& worker : workers) {
        do {
            if (record != nullptr) log.backlog(record->backlog());
            log.redraw(stationEnds());
        } while (!worker->wait(QDeadlineTimer(kRedrawMs)));
    }
    // The lines of the last boards, given a moment to reach the database unless the operator
    // asked to end at once.
    if (record != nullptr && !stopUrgently()) record->flush(kLastLinesMs);
    const RecordBacklog backlog = record != nullptr ? record->backlog() : RecordBacklog{};
    if (record != nullptr) log.backlog(backlog);
    log.leave();

    const OutcomeCounts all = log.ended();
    QJsonArray perPort;
    CommandResult r;
    std::vector<std::string> lines;
    for (size_t i = 0; i < workers.size(); ++i) {
        const OutcomeCounts ended = log.ended(i);
        QJsonObject port = tallyJson(ended);
        port["port"] = jsonPath(names[i]);
        perPort.append(port);
        for (const QJsonValue& device : workers[i]->json()) r.devices.append(device);
        lines.push_back("  " + names[i] + ": " + tallyText(ended, " written"));
    }
    r.endAs(all.worst());
    if (stopCause() == StopCause::OutputFailed) {
        // The operator can no longer see what is written: the station stopped after the devices
        // in hand, and says so with an exit code that a script cannot take for a clean end.
        r.endAs(OutcomeSeverity::Interrupted);
        const std::string reason =
            "station: stopped after the devices in hand: " + failedOutputs(out, err) +
            " could not be written";
        r.note(reason);
        // Also where it can still be read.
        if (std::ferror(err) != 0) r.text.push_back("quorvel-flash: " + reason);
    }
    QJsonObject totals = tallyJson(all);
    totals.remove("interrupted");
    totals["ports"] = perPort;
    r.image = loaded.facts;
    if (record != nullptr) markRecordLost(r, record->failure());
    r.text.push_back("Station: " + tallyText(all, all[OutcomeSeverity::Success] == 1
                                                      ? " device written"
                                                      : " devices written"));
    r.text.insert(r.text.end(), lines.begin(), lines.end());
    if (backlog.lines > 0 && !backlog.since.empty()) {
        // Kept on this computer, not lost: the next write to this database sends them.
        totals["record_lines_waiting"] = backlog.lines;
        r.text.push_back("Record: " + backlogText(backlog) + " " + backlog.where +
                         "; the next write to this database sends them");
    }
    r.result = totals;
    return r;
}

}  // namespace quorvel::cli

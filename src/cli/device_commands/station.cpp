#include "station.h"

#include <QThread>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device_options.h"
#include "device_session.h"
#include "diagnosis.h"
#include "interruption_report.h"
#include "json_run.h"
#include "port_description.h"
#include "port_mapping.h"
#include "progress_board.h"
#include "progress_display.h"
#include "record_file.h"
#include "serial_port_transport.h"
#include "session_record.h"
#include "stop_signals.h"
#include "write_result.h"
#include "write_sequence.h"

namespace quorvel::cli {

namespace {

// Whether a port's device is there. Listing the system's serial ports (what a COM number
// needs) costs far more than a glance at the device folder's time stamp, so the port is looked
// up again only when that folder changed: an adapter plugged in or pulled out changes it.
class PortWatch {
  public:
    explicit PortWatch(const ExchangeSettings& settings) : settings_(settings) {}

    // The device exists; with `opens`, it can also be opened now.
    bool present(bool opens) {
        const std::string device = lookUp();
        std::error_code error;
        if (device.empty() || !std::filesystem::exists(device, error)) return false;
        if (!opens) return true;
        SerialPortTransport probe;
        const bool opened = probe.open(GetCOM(settings_));
        probe.close();
        return opened;
    }

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
};

// Set when a record line could not be added: every port ends after its device in hand.
std::atomic<bool> recordLost{false};

bool stationEnds() {
    return stopRequestedByUser() || recordLost.load();
}

// What one port's station saw, and its devices' JSON objects.
struct PortTally {
    std::string port;
    int written = 0;
    int failed = 0;
    int unconfirmed = 0;  // written, but the answers did not confirm every frame
    bool interrupted = false;
    QJsonArray devices;
};

// Lines that several port threads print whole, one at a time.
class StationLog {
  public:
    StationLog(std::FILE* err, bool quiet) : err_(err), quiet_(quiet) {}
    void line(const std::string& text, bool always = false) {
        if (quiet_ && !always) return;
        const std::lock_guard<std::mutex> lock(mutex_);
        std::fprintf(err_, "quorvel-flash: %s\n", text.c_str());
        std::fflush(err_);
    }

  private:
    std::FILE* err_;
    bool quiet_;
    std::mutex mutex_;
};

class StationWorker final : public QThread {
  public:
    StationWorker(const CliOptions& options, ExchangeSettings settings, const MemoryImage& image,
                  ProgressBoard& board, size_t index, StationLog& log, RecordFile* record)
        : options_(options),
          settings_(std::move(settings)),
          image_(image),
          board_(board),
          index_(index),
          log_(log),
          record_(record),
          facts_(imageFacts(options.args.at(0), image)) {
        tally_.port = portName(settings_);
    }
    const PortTally& tally() const { return tally_; }

  protected:
    void run() override {
        while (waitUntil(true)) {
            writeOne();
            if (tally_.interrupted || stationEnds()) return;
            log_.line(tally_.port +
                      ": remove the device; the next one is written once it is "
                      "connected");
            if (!waitUntil(false)) return;
        }
    }

  private:
    // Polls the port until the device is there and opens (present) or is gone; false when a
    // stop was asked for meanwhile.
    bool waitUntil(bool present) {
        if (present) log_.line(tally_.port + ": waiting for a device");
        PortWatch watch(settings_);
        while (!stationEnds()) {
            if (watch.present(present) == present) return true;
            QThread::msleep(kStationPollMs);
        }
        return false;
    }

    void writeOne() {
        const int number = tally_.written + tally_.failed + tally_.unconfirmed + 1;
        log_.line(tally_.port + ": device " + std::to_string(number) + " on " +
                  describePort(settings_));
        // Created here, so that the serial port belongs to this thread and its event loop.
        DeviceSession session(options_, settings_, nullptr, nullptr);
        session.observe(boardObserver(board_, index_));
        session.loader().stopWhen(stopRequestedByUser);
        session.loader().abortWaitsWhen(stopUrgently);
        const DeviceResult result =
            finishWrite(session, runWriteSequence(session, image_), image_, facts_, record_);
        std::string report = result.message;
        if (result.interrupted) {
            tally_.interrupted = true;
            report = result.diagnosis.front();
        } else if (result.outcome == RewriteOutcome::Unconfirmed) {
            ++tally_.unconfirmed;
            report += " (unconfirmed)";
        } else if (result.ok) {
            ++tally_.written;
        } else {
            ++tally_.failed;
            for (const std::string& why : result.diagnosis) report += "; " + why;
        }
        log_.line(tally_.port + ": device " + std::to_string(number) + ": " + report + " (" +
                      secondsText(result.ms / 1000) + ")",
                  true);
        if (!result.warning.empty()) log_.line(tally_.port + ": warning: " + result.warning, true);
        for (const std::string& w : result.warnings)
            log_.line(tally_.port + ": warning: " + w, true);
        tally_.devices.append(result.json);
        // Added before the next device can start on this port.
        if (!result.recordFailure.empty()) {
            // A device that cannot be recorded cannot be traced: no more are written.
            recordLost.store(true);
            log_.line(tally_.port + ": error: " + result.recordFailure +
                          "; the station stops after the devices in hand",
                      true);
        }
    }

    const CliOptions& options_;
    ExchangeSettings settings_;
    const MemoryImage& image_;
    ProgressBoard& board_;
    size_t index_;
    StationLog& log_;
    RecordFile* record_;
    ImageFacts facts_;
    PortTally tally_;
};

QJsonObject tallyJson(const PortTally& t) {
    return {{"written", t.written},
            {"failed", t.failed},
            {"unconfirmed", t.unconfirmed},
            {"interrupted", t.interrupted}};
}

// ", 2 unconfirmed" when there are any.
std::string unconfirmedText(int unconfirmed) {
    return unconfirmed > 0 ? ", " + std::to_string(unconfirmed) + " unconfirmed" : "";
}

}  // namespace

CommandResult runStation(const CliOptions& options, const std::vector<ExchangeSettings>& ports,
                         const MemoryImage& image, std::FILE* err, RecordFile* record) {
    recordLost.store(false);
    StationLog log(err, options.quiet || options.json);
    std::vector<std::string> names;
    for (const ExchangeSettings& s : ports) names.push_back(portName(s));
    ProgressBoard board(
        err,
        options.json || options.quiet ? ProgressBoard::Mode::Silent : ProgressBoard::Mode::Lines,
        names);
    log.line("station: writing every device connected to " + std::to_string(ports.size()) +
             (ports.size() == 1 ? " port" : " ports") + "; Ctrl-C ends it");

    std::vector<std::unique_ptr<StationWorker>> workers;
    for (size_t i = 0; i < ports.size(); ++i) {
        workers.push_back(
            std::make_unique<StationWorker>(options, ports[i], image, board, i, log, record));
    }
    for (auto& worker : workers) worker->start();
    for (auto& worker : workers) worker->wait();

    PortTally all;
    QJsonArray perPort;
    CommandResult r;
    for (auto& worker : workers) {
        const PortTally& t = worker->tally();
        all.written += t.written;
        all.failed += t.failed;
        all.unconfirmed += t.unconfirmed;
        all.interrupted = all.interrupted || t.interrupted;
        QJsonObject port = tallyJson(t);
        port["port"] = jsonPath(t.port);
        perPort.append(port);
        for (const QJsonValue& device : t.devices) r.devices.append(device);
    }
    const RewriteOutcome worst = all.interrupted       ? RewriteOutcome::Stopped
                                 : all.failed > 0      ? RewriteOutcome::WritingFailure
                                 : all.unconfirmed > 0 ? RewriteOutcome::Unconfirmed
                                                       : RewriteOutcome::Success;
    r.exitCode = RewriteExitCode(worst);
    r.outcome = RewriteOutcomeName(worst);
    QJsonObject totals = tallyJson(all);
    totals.remove("interrupted");
    totals["ports"] = perPort;
    r.result = totals;
    r.image = imageFacts(options.args.at(0), image);
    if (record != nullptr) markRecordLost(r, record->failure());
    r.text = "Station: " + std::to_string(all.written) + " devices written, " +
             std::to_string(all.failed) + " failed" + unconfirmedText(all.unconfirmed) + "\n";
    for (auto& worker : workers) {
        const PortTally& t = worker->tally();
        r.text += "  " + t.port + ": " + std::to_string(t.written) + " written, " +
                  std::to_string(t.failed) + " failed" + unconfirmedText(t.unconfirmed) +
                  (t.interrupted ? ", the last one interrupted" : "") + "\n";
    }
    return r;
}

}  // namespace quorvel::cli

#include "records_command.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "json_run.h"
#include "record_reader.h"

namespace quorvel::cli {
namespace {

constexpr size_t kShownHashDigits = 12;

struct Tally {
    std::string name;    // the port, or the image's path
    std::string sha256;  // images only
    int success = 0;
    int failure = 0;
    int interrupted = 0;
    int unconfirmed = 0;  // written, but the device's answers did not confirm it

    int devices() const { return success + failure + interrupted + unconfirmed; }
    void add(const std::string& outcome) {
        if (outcome == "success") ++success;
        if (outcome == "failure") ++failure;
        if (outcome == "interrupted") ++interrupted;
        if (outcome == "unconfirmed") ++unconfirmed;
    }
};

// A board named by its unit id, across every attempt at it in every file read: written once
// any attempt succeeded, whatever failed before or after.
struct Unit {
    std::string unit;
    bool written = false;
    ReadRecord last;  // its latest attempt that did not succeed
};

struct Summary {
    Tally all;
    std::vector<Unit> units;    // in the order they first appear
    std::vector<Tally> images;  // in the order they first appear
    std::vector<Tally> ports;
    std::vector<ReadRecord> notWritten;
    std::vector<std::pair<std::string, int>> unreadLines;  // the file and the line's number

    // Devices not written, without the attempts at a unit that was written after all.
    std::vector<ReadRecord> stillNotWritten() const {
        std::vector<ReadRecord> list;
        for (const ReadRecord& r : notWritten) {
            const auto unit = std::find_if(units.begin(), units.end(),
                                           [&](const Unit& u) { return u.unit == r.unit; });
            if (r.unit.empty() || unit == units.end() || !unit->written) list.push_back(r);
        }
        return list;
    }
    int unitsWritten() const {
        return static_cast<int>(
            std::count_if(units.begin(), units.end(), [](const Unit& u) { return u.written; }));
    }
};

Tally& entry(std::vector<Tally>& list, const std::string& name, const std::string& sha256) {
    for (Tally& t : list) {
        if (t.name == name && t.sha256 == sha256) return t;
    }
    list.push_back(Tally{name, sha256});
    return list.back();
}

void addUnit(std::vector<Unit>& units, const ReadRecord& record) {
    if (record.unit.empty()) return;
    auto unit = std::find_if(units.begin(), units.end(),
                             [&](const Unit& u) { return u.unit == record.unit; });
    if (unit == units.end()) {
        units.push_back(Unit{record.unit, false, {}});
        unit = units.end() - 1;
    }
    if (record.outcome == "success") {
        unit->written = true;
    } else {
        unit->last = record;
    }
}

void summarize(std::istream& in, const std::string& path, Summary& s) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const std::optional<ReadRecord> record = readRecordLine(line);
        if (!record) {
            s.unreadLines.emplace_back(path, number);
            continue;
        }
        s.all.add(record->outcome);
        entry(s.images, record->image, record->sha256).add(record->outcome);
        entry(s.ports, record->port, "").add(record->outcome);
        if (record->outcome != "success") s.notWritten.push_back(*record);
        addUnit(s.units, *record);
    }
}

// Rows of cells as text lines: the first columns left-aligned, the counts right-aligned.
std::vector<std::string> table(const std::vector<std::vector<std::string>>& rows,
                               size_t textColumns) {
    std::vector<size_t> width(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line = "  ";
        for (size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            line += c < textColumns ? row[c] + pad : pad + row[c];
            if (c + 1 < row.size()) line += "  ";
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> counts(const Tally& t) {
    return {std::to_string(t.devices()), std::to_string(t.success), std::to_string(t.failure),
            std::to_string(t.interrupted)};
}

std::string shortHash(const std::string& sha256) {
    return sha256.empty() ? "-" : sha256.substr(0, kShownHashDigits);
}

// "started  port  outcome at step", with the unit when it has one.
std::string attemptLine(const ReadRecord& r) {
    return (r.started.empty() ? "-" : r.started) + "  " + r.port +
           (r.unit.empty() ? "" : "  unit " + r.unit) + "  " + r.outcome +
           (r.failedStep.empty() ? "" : " at " + r.failedStep);
}

std::vector<std::string> summaryText(const std::vector<std::string>& paths, const Summary& s) {
    std::vector<std::string> text;
    const auto add = [&text](std::vector<std::string> lines) {
        for (std::string& line : lines) text.push_back(std::move(line));
    };
    text.push_back(paths.size() == 1 ? "Record file: " + paths.front() : "Record files:");
    if (paths.size() > 1) {
        for (const std::string& path : paths) text.push_back("  " + path);
    }
    text.push_back(
        "Devices: " + std::to_string(s.all.devices()) + " (" + std::to_string(s.all.success) +
        " success, " + std::to_string(s.all.failure) + " failure, " +
        std::to_string(s.all.interrupted) + " interrupted" +
        (s.all.unconfirmed > 0 ? ", " + std::to_string(s.all.unconfirmed) + " unconfirmed" : "") +
        ")");
    if (s.all.devices() > 0) {
        std::vector<std::vector<std::string>> images{
            {"IMAGE", "SHA-256", "DEVICES", "SUCCESS", "FAILURE", "INTERRUPTED"}};
        for (const Tally& t : s.images) {
            std::vector<std::string> row{t.name, shortHash(t.sha256)};
            for (std::string& c : counts(t)) row.push_back(std::move(c));
            images.push_back(std::move(row));
        }
        add({"", "By image:"});
        add(table(images, 2));
        std::vector<std::vector<std::string>> ports{
            {"PORT", "DEVICES", "SUCCESS", "FAILURE", "INTERRUPTED"}};
        for (const Tally& t : s.ports) {
            std::vector<std::string> row{t.name};
            for (std::string& c : counts(t)) row.push_back(std::move(c));
            ports.push_back(std::move(row));
        }
        add({"", "By port:"});
        add(table(ports, 1));
    }
    if (!s.units.empty()) {
        const int written = s.unitsWritten();
        add({"", "Units: " + std::to_string(s.units.size()) + " (" + std::to_string(written) +
                     " written, " + std::to_string(static_cast<int>(s.units.size()) - written) +
                     " not written)"});
    }
    if (const std::vector<ReadRecord> notWritten = s.stillNotWritten(); !notWritten.empty()) {
        add({"", "Not written:"});
        for (const ReadRecord& r : notWritten) {
            text.push_back("  " + attemptLine(r));
            for (const std::string& why : r.diagnosis) text.push_back("      " + why);
        }
    }
    if (!s.unreadLines.empty()) {
        add({"", "Not read: " + std::to_string(s.unreadLines.size()) + " line" +
                     (s.unreadLines.size() == 1 ? "" : "s")});
        for (const auto& [path, n] : s.unreadLines) {
            text.push_back("  " + (paths.size() > 1 ? path + " " : std::string()) + "line " +
                           std::to_string(n) + ": not a record");
        }
    }
    return text;
}

// `object` with the tally's counts added.
QJsonObject withCounts(const Tally& t, QJsonObject object = {}) {
    object["devices"] = t.devices();
    object["success"] = t.success;
    object["failure"] = t.failure;
    object["interrupted"] = t.interrupted;
    object["unconfirmed"] = t.unconfirmed;
    return object;
}

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonObject summaryJson(const Summary& s) {
    QJsonArray images;
    for (const Tally& t : s.images) {
        images.append(withCounts(t, {{"image", qText(t.name)}, {"sha256", qText(t.sha256)}}));
    }
    QJsonArray ports;
    for (const Tally& t : s.ports) ports.append(withCounts(t, {{"port", qText(t.name)}}));
    QJsonArray notWritten;
    for (const ReadRecord& r : s.stillNotWritten()) {
        QJsonArray diagnosis;
        for (const std::string& d : r.diagnosis) diagnosis.append(qText(d));
        notWritten.append(QJsonObject{
            {"started", qText(r.started)},
            {"port", qText(r.port)},
            {"unit", r.unit.empty() ? QJsonValue() : QJsonValue(qText(r.unit))},
            {"outcome", qText(r.outcome)},
            {"failed_step", r.failedStep.empty() ? QJsonValue() : QJsonValue(qText(r.failedStep))},
            {"diagnosis", diagnosis},
        });
    }
    QJsonArray unread;
    QJsonArray unreadWhere;
    for (const auto& [path, n] : s.unreadLines) {
        unread.append(n);
        unreadWhere.append(QJsonObject{{"file", qText(path)}, {"line", n}});
    }
    QJsonArray unitsNotWritten;
    for (const Unit& u : s.units) {
        if (!u.written) unitsNotWritten.append(qText(u.unit));
    }
    QJsonObject summary = withCounts(s.all);
    summary["images"] = images;
    summary["ports"] = ports;
    summary["not_written"] = notWritten;
    summary["lines_not_read"] = unread;
    summary["lines_not_read_in"] = unreadWhere;
    summary["units"] = static_cast<int>(s.units.size());
    summary["units_written"] = s.unitsWritten();
    summary["units_not_written"] = unitsNotWritten;
    return summary;
}

}  // namespace

CommandResult runRecords(const CliOptions& options) {
    Summary summary;
    for (const std::string& path : options.args) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) return fileProblem("no record file " + path);
        if (std::filesystem::is_directory(path, ec)) {
            return fileProblem(path + " is a folder, not a record file");
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) return fileProblem("cannot read the record file " + path);
        summarize(in, path, summary);
    }
    CommandResult r;
    r.message = std::to_string(summary.all.devices()) + " devices recorded";
    r.result = summaryJson(summary);
    r.text = summaryText(options.args, summary);
    // For the supervisor's script: every device and every unit recorded was written.
    const std::vector<ReadRecord> devices = summary.stillNotWritten();
    const auto devicesNotWritten = std::count_if(
        devices.begin(), devices.end(), [](const ReadRecord& d) { return d.unit.empty(); });
    const auto unitsNotWritten = static_cast<long>(summary.units.size()) - summary.unitsWritten();
    if (options.check && devicesNotWritten + unitsNotWritten > 0) {
        r.exitCode = kExitDeviceFailure;
        r.outcome = "failure";
        r.note("check: not every device is written: " + std::to_string(unitsNotWritten) + " unit" +
               (unitsNotWritten == 1 ? "" : "s") + " and " + std::to_string(devicesNotWritten) +
               " device" + (devicesNotWritten == 1 ? "" : "s") + " without a unit");
    }
    return r;
}

}  // namespace quorvel::cli

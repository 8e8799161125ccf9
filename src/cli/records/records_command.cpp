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

using S = OutcomeSeverity;

struct Tally {
    std::string name;    // the port, or the image's path
    std::string sha256;  // images only
    OutcomeCounts devices;
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
    list.push_back(Tally{name, sha256, {}});
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
    if (record.severity == S::Success) {
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
        s.all.devices.add(record->severity);
        entry(s.images, record->image, record->sha256).devices.add(record->severity);
        entry(s.ports, record->port, "").devices.add(record->severity);
        if (record->severity != S::Success) s.notWritten.push_back(*record);
        addUnit(s.units, *record);
    }
}

// Rows of cells as text columns: the first left-aligned, the counts right-aligned.
std::string table(const std::vector<std::vector<std::string>>& rows, size_t textColumns) {
    std::vector<size_t> width(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line = "  ";
        for (size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            line += c < textColumns ? row[c] + pad : pad + row[c];
            if (c + 1 < row.size()) line += "  ";
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    return text;
}

std::vector<std::string> counts(const Tally& t) {
    return {std::to_string(t.devices.total()), std::to_string(t.devices[S::Success]),
            std::to_string(t.devices[S::Failure]), std::to_string(t.devices[S::Interrupted])};
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

std::string summaryText(const std::vector<std::string>& paths, const Summary& s) {
    std::string text =
        paths.size() == 1 ? "Record file: " + paths.front() + "\n" : "Record files:\n";
    if (paths.size() > 1) {
        for (const std::string& path : paths) text += "  " + path + "\n";
    }
    const OutcomeCounts& all = s.all.devices;
    text += "Devices: " + std::to_string(all.total()) + " (" + std::to_string(all[S::Success]) +
            " success, " + std::to_string(all[S::Failure]) + " failure, " +
            std::to_string(all[S::Interrupted]) + " interrupted" +
            (all[S::Unconfirmed] > 0 ? ", " + std::to_string(all[S::Unconfirmed]) + " unconfirmed"
                                     : "") +
            ")\n";
    if (all.total() > 0) {
        std::vector<std::vector<std::string>> images{
            {"IMAGE", "SHA-256", "DEVICES", "SUCCESS", "FAILURE", "INTERRUPTED"}};
        for (const Tally& t : s.images) {
            std::vector<std::string> row{t.name, shortHash(t.sha256)};
            for (std::string& c : counts(t)) row.push_back(std::move(c));
            images.push_back(std::move(row));
        }
        text += "\nBy image:\n" + table(images, 2);
        std::vector<std::vector<std::string>> ports{
            {"PORT", "DEVICES", "SUCCESS", "FAILURE", "INTERRUPTED"}};
        for (const Tally& t : s.ports) {
            std::vector<std::string> row{t.name};
            for (std::string& c : counts(t)) row.push_back(std::move(c));
            ports.push_back(std::move(row));
        }
        text += "\nBy port:\n" + table(ports, 1);
    }
    if (!s.units.empty()) {
        const int written = s.unitsWritten();
        text += "\nUnits: " + std::to_string(s.units.size()) + " (" + std::to_string(written) +
                " written, " + std::to_string(static_cast<int>(s.units.size()) - written) +
                " not written)\n";
    }
    if (const std::vector<ReadRecord> notWritten = s.stillNotWritten(); !notWritten.empty()) {
        text += "\nNot written:\n";
        for (const ReadRecord& r : notWritten) {
            text += "  " + attemptLine(r) + "\n";
            for (const std::string& why : r.diagnosis) text += "      " + why + "\n";
        }
    }
    if (!s.unreadLines.empty()) {
        text += "\nNot read: " + std::to_string(s.unreadLines.size()) + " line" +
                (s.unreadLines.size() == 1 ? "" : "s") + "\n";
        for (const auto& [path, n] : s.unreadLines) {
            text += "  " + (paths.size() > 1 ? path + " " : std::string()) + "line " +
                    std::to_string(n) + ": not a record\n";
        }
    }
    return text;
}

// `object` with the tally's counts added.
QJsonObject withCounts(const Tally& t, QJsonObject object = {}) {
    object["devices"] = t.devices.total();
    for (size_t severity = 0; severity < kSeverities; ++severity) {
        object[Outcome(static_cast<S>(severity)).name] = t.devices.count[severity];
    }
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
    r.message = std::to_string(summary.all.devices.total()) + " devices recorded";
    r.result = summaryJson(summary);
    r.text = summaryText(options.args, summary);
    // For the supervisor's script: every device and every unit recorded was written.
    const std::vector<ReadRecord> devices = summary.stillNotWritten();
    const auto devicesNotWritten = std::count_if(
        devices.begin(), devices.end(), [](const ReadRecord& d) { return d.unit.empty(); });
    const auto unitsNotWritten = static_cast<long>(summary.units.size()) - summary.unitsWritten();
    if (options.check && devicesNotWritten + unitsNotWritten > 0) {
        r.endAs(S::Failure);
        r.note("check: not every device is written: " + std::to_string(unitsNotWritten) + " unit" +
               (unitsNotWritten == 1 ? "" : "s") + " and " + std::to_string(devicesNotWritten) +
               " device" + (devicesNotWritten == 1 ? "" : "s") + " without a unit");
    }
    return r;
}

}  // namespace quorvel::cli

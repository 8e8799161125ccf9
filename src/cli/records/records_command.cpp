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

struct Summary {
    Tally all;
    std::vector<Tally> images;  // in the order they first appear
    std::vector<Tally> ports;
    std::vector<ReadRecord> notWritten;
    std::vector<int> unreadLines;
};

Tally& entry(std::vector<Tally>& list, const std::string& name, const std::string& sha256) {
    for (Tally& t : list) {
        if (t.name == name && t.sha256 == sha256) return t;
    }
    list.push_back(Tally{name, sha256});
    return list.back();
}

Summary summarize(std::istream& in) {
    Summary s;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const std::optional<ReadRecord> record = readRecordLine(line);
        if (!record) {
            s.unreadLines.push_back(number);
            continue;
        }
        s.all.add(record->outcome);
        entry(s.images, record->image, record->sha256).add(record->outcome);
        entry(s.ports, record->port, "").add(record->outcome);
        if (record->outcome != "success") s.notWritten.push_back(*record);
    }
    return s;
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
    return {std::to_string(t.devices()), std::to_string(t.success), std::to_string(t.failure),
            std::to_string(t.interrupted)};
}

std::string shortHash(const std::string& sha256) {
    return sha256.empty() ? "-" : sha256.substr(0, kShownHashDigits);
}

std::string summaryText(const std::string& path, const Summary& s) {
    std::string text = "Record file: " + path + "\n";
    text +=
        "Devices: " + std::to_string(s.all.devices()) + " (" + std::to_string(s.all.success) +
        " success, " + std::to_string(s.all.failure) + " failure, " +
        std::to_string(s.all.interrupted) + " interrupted" +
        (s.all.unconfirmed > 0 ? ", " + std::to_string(s.all.unconfirmed) + " unconfirmed" : "") +
        ")\n";
    if (s.all.devices() > 0) {
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
    if (!s.notWritten.empty()) {
        text += "\nNot written:\n";
        for (const ReadRecord& r : s.notWritten) {
            text += "  " + (r.started.empty() ? "-" : r.started) + "  " + r.port + "  " +
                    r.outcome + (r.failedStep.empty() ? "" : " at " + r.failedStep) + "\n";
            for (const std::string& why : r.diagnosis) text += "      " + why + "\n";
        }
    }
    if (!s.unreadLines.empty()) {
        text += "\nNot read: " + std::to_string(s.unreadLines.size()) + " line" +
                (s.unreadLines.size() == 1 ? "" : "s") + "\n";
        for (const int n : s.unreadLines)
            text += "  line " + std::to_string(n) + ": not a record\n";
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
    for (const ReadRecord& r : s.notWritten) {
        QJsonArray diagnosis;
        for (const std::string& d : r.diagnosis) diagnosis.append(qText(d));
        notWritten.append(QJsonObject{
            {"started", qText(r.started)},
            {"port", qText(r.port)},
            {"outcome", qText(r.outcome)},
            {"failed_step", r.failedStep.empty() ? QJsonValue() : QJsonValue(qText(r.failedStep))},
            {"diagnosis", diagnosis},
        });
    }
    QJsonArray unread;
    for (const int n : s.unreadLines) unread.append(n);
    QJsonObject summary = withCounts(s.all);
    summary["images"] = images;
    summary["ports"] = ports;
    summary["not_written"] = notWritten;
    summary["lines_not_read"] = unread;
    return summary;
}

}  // namespace

CommandResult runRecords(const CliOptions& options) {
    const std::string& path = options.args[0];
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return fileProblem("no record file " + path);
    if (std::filesystem::is_directory(path, ec)) {
        return fileProblem(path + " is a folder, not a record file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return fileProblem("cannot read the record file " + path);
    const Summary summary = summarize(in);
    CommandResult r;
    r.message = std::to_string(summary.all.devices()) + " devices recorded";
    r.result = summaryJson(summary);
    r.text = summaryText(path, summary);
    return r;
}

}  // namespace quorvel::cli

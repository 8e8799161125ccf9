#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "command_actions.h"
#include "database_summary.h"
#include "json_run.h"
#include "record_database.h"
#include "record_filter.h"
#include "record_lines.h"
#include "record_reader.h"
#include "record_stream.h"
#include "records_csv.h"
#include "records_html.h"
#include "records_summary.h"
#include "records_tallies.h"
#include "safe_file.h"
#include "terminal.h"
#include "text_out.h"
#include "time_bounds.h"

namespace quorvel::cli {
namespace {

constexpr const char* kStandardInput = "-";

using FileStream = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// How the summary and its errors name a file.
std::string fileName(const std::string& path) {
    return path == kStandardInput ? "standard input" : path;
}

// Why `path` is no record file to read, looked at before it is opened: opening a pipe would
// wait for a writer that may never come, and a device such as /dev/zero never ends. Empty for
// a regular file, and for standard input ("-"), which a pipe feeds.
std::string notARecordFile(const std::string& path) {
    if (path == kStandardInput) return {};
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    switch (status.type()) {
        case fs::file_type::regular:
            return {};
        case fs::file_type::not_found:
            return "no record file " + path;
        case fs::file_type::directory:
            return path + " is a folder, not a record file";
        case fs::file_type::fifo:
            return path + " is a pipe, not a record file (- reads standard input)";
        case fs::file_type::character:
        case fs::file_type::block:
            return path + " is a device, not a record file";
        default:
            if (error) return "cannot read the record file " + path + ": " + error.message();
            return path + " is not a regular file, not a record file";
    }
}

// Where the records are read from: the lines in a file, or the rows of a database.
struct Reading {
    size_t index = 0;  // the source's place among those read
    RecordsSummary& summary;
    bool summing;  // whether the records are added to the summary
    const TimeBounds& bounds;
    const RecordFilter& filter;
    const std::function<bool(const Record&)>& each;
};

// Takes the record read from line `number` of the source: hands it to `each` (which returns
// false to stop reading) when it started within the bounds, then adds it to the summary when
// summing; a line that is no record is added in any case. False to stop.
bool takeRecord(std::optional<Record>& record, long long number, const Reading& r) {
    if (!record) {
        r.summary.addUnread({r.index, number, false});
        return true;
    }
    if (!r.bounds.contains(record->started) || !r.filter.matches(*record)) return true;
    if (record->opening) {
        // A started line: no row of its own; its attempt counts as interrupted until its final
        // line is read.
        if (r.summing) r.summary.addStarted(*record, r.index, number);
        return true;
    }
    if (!r.each(*record)) return false;
    if (r.summing) r.summary.add(*record);
    return true;
}

// Reads `file` to its end, a regular file read ahead on a thread of its own. Empty, or why it
// could not be read to its end.
std::string summarize(std::FILE* file, const std::string& path, const Reading& r) {
    // A unit takes two lines of about 500 bytes, or one; the hint stays within 16 MB whatever
    // the file.
    constexpr uintmax_t kLineBytesPerUnit = 512;
    constexpr uintmax_t kMostUnitsExpected = 1 << 21;
    std::error_code error;
    if (const uintmax_t bytes = std::filesystem::file_size(path, error);
        r.summing && path != kStandardInput && !error) {
        r.summary.expectUnits(std::min(bytes / kLineBytesPerUnit, kMostUnitsExpected));
    }
    RecordStream lines(file, path != kStandardInput);
    for (;;) {
        RecordStream::Item& line = lines.next();
        switch (line.next) {
            case RecordLines::Next::End:
                return {};
            case RecordLines::Next::ReadError:
                return "cannot read " + fileName(path) +
                       (line.number > 0 ? " after line " + std::to_string(line.number)
                                        : std::string()) +
                       ": " + std::strerror(line.error);
            case RecordLines::Next::TooLong:
                r.summary.addUnread({r.index, line.number, true});
                break;
            case RecordLines::Next::Line:
                if (!line.blank && !takeRecord(line.record, line.number, r)) return {};
                break;
        }
    }
}

// Reads the lines stored in the database at `uri`, oldest first, numbered by their rows' ids;
// a blank line is passed over.
std::string summarizeDatabase(const std::string& uri, const Reading& r) {
    return readDatabaseLines(uri, r.bounds.since, r.bounds.until, r.filter,
                             [&](const std::string& line, long long id) {
                                 if (blankLine(line)) return true;
                                 std::optional<Record> record = readRecordLine(line);
                                 return takeRecord(record, id, r);
                             });
}

// Sums the attempts stored in the database at `uri` where they are: only the figures and the
// attempts the summary lists come back, whatever the number of rows.
std::string sumInDatabase(const std::string& uri, const Reading& r) {
    DatabaseSums sums;
    std::vector<DatabaseAttempt> attempts;
    std::string error = sumDatabase(uri, r.bounds.since, r.bounds.until, r.filter, sums,
                                    [&](const DatabaseAttempt& a) { attempts.push_back(a); });
    if (!error.empty()) return error;
    r.summary.addSums(sums, r.index);
    for (const DatabaseAttempt& a : attempts) r.summary.addNotSuccess(a, r.index);
    return {};
}

// "1 line", "2 lines".
std::string counted(long long count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// "line 7: not a record", with the file's name before it when `named`.
std::string unreadText(const std::vector<std::string>& paths, const UnreadLine& u, bool named) {
    return (named ? fileName(paths[u.file]) + " " : std::string()) + "line " +
           std::to_string(u.line) + (u.tooLong ? ": longer than any record" : ": not a record");
}

// The rows as one of the summary's tables, set in by two blanks.
std::vector<std::string> table(const std::vector<std::vector<std::string>>& rows,
                               size_t textColumns) {
    std::vector<std::string> lines = tableLines(rows, textColumns);
    for (std::string& line : lines) line.insert(0, "  ");
    return lines;
}

// "97.5%", or "-" when there is nothing to take a share of.
std::string percentText(const std::optional<double>& share) {
    return share ? QString::number(*share, 'f', 1).toStdString() + "%" : "-";
}

// The row's cells: its names, its counts, then the yields of the units first tried there.
std::vector<std::string> cells(std::vector<std::string> names, const Tally& t) {
    names.push_back(std::to_string(t.total()));
    for (const OutcomeSeverity s : kCountOrder) names.push_back(std::to_string(t[s]));
    names.push_back(percentText(t.firstPassYield()));
    names.push_back(percentText(t.finalYield()));
    return names;
}

std::string orDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

// What a failed attempt's step got; "-" for any other.
std::string causeOf(const Record& r) {
    return r.severity == OutcomeSeverity::Failure ? answerOf(r.severity, r.cause, r.diagnosis)
                                                  : "-";
}

// How an attempt whose started line has no final line ended.
std::string cutOffText() {
    return OutcomeWord(OutcomeSeverity::Interrupted) + std::string(", state unknown");
}

// "failure at erase", "interrupted, state unknown".
std::string outcomeText(const Record& r) {
    return (r.unfinished ? cutOffText() : r.outcome) +
           (r.failedStep.empty() ? "" : " at " + r.failedStep);
}

// When and where a summary is made, and what it was asked for: the time bounds and the
// filters given, in the words of the command line.
struct Question {
    QDateTime made = QDateTime::currentDateTimeUtc();
    std::string host = QSysInfo::machineHostName().toStdString();
    std::string since;  // ISO 8601, UTC; empty: no bound
    std::string until;
    const CliOptions& options;

    Question(const TimeBounds& bounds, const CliOptions& o) : options(o) {
        if (bounds.since.isValid()) since = utcText(bounds.since);
        if (bounds.until.isValid()) until = utcText(bounds.until);
    }
    static std::string utcText(const QDateTime& time) {
        return time.toUTC().toString(Qt::ISODateWithMs).toStdString();
    }
    std::string filters() const {
        return RecordFilter{options.unit, options.host, options.ports, options.image}.text();
    }
};

std::vector<std::string> summaryText(const std::vector<std::string>& paths, const RecordsSummary& s,
                                     const std::vector<Record>& notWritten,
                                     const Question& question) {
    const CliOptions& options = question.options;
    std::vector<std::string> text;
    const auto add = [&text](std::vector<std::string> lines) {
        for (std::string& line : lines) text.push_back(std::move(line));
    };
    const auto source = [&options](size_t i) { return isDatabaseUri(options.args[i]); };
    if (paths.size() == 1) {
        text.push_back((source(0) ? "Database: " : "Record file: ") + fileName(paths.front()));
    } else {
        text.push_back("Record files:");
        for (size_t i = 0; i < paths.size(); ++i) {
            text.push_back("  " + std::string(source(i) ? "database " : "") + fileName(paths[i]));
        }
    }
    text.push_back("Period: " +
                   (s.firstStarted().empty() ? std::string("no attempt")
                                             : s.firstStarted() + " to " + s.lastStarted()) +
                   (question.since.empty() && question.until.empty()
                        ? std::string()
                        : " (asked: " + (question.since.empty() ? "" : "from " + question.since) +
                              (question.since.empty() || question.until.empty() ? "" : ", ") +
                              (question.until.empty() ? "" : "before " + question.until) + ")"));
    if (const std::string filters = question.filters(); !filters.empty()) {
        text.push_back("Asked for: " + filters);
    }
    text.push_back("Made: " + Question::utcText(question.made) + " on " + question.host);
    const Tally& all = s.all();
    // Unconfirmed only when some were.
    std::string byOutcome;
    for (const OutcomeSeverity o : kCountOrder) {
        if (o == OutcomeSeverity::Unconfirmed && all[o] == 0) continue;
        byOutcome +=
            (byOutcome.empty() ? "" : ", ") + std::to_string(all[o]) + " " + OutcomeWord(o);
    }
    text.push_back("Devices: " + std::to_string(all.total()) + " (" + byOutcome + ")");
    if (all.total() > 0) {
        // The heads of cells(): the counts in kCountOrder, named by their outcomes' words.
        const auto heads = [](std::vector<std::string> names) {
            names.push_back("DEVICES");
            for (const OutcomeSeverity o : kCountOrder)
                names.push_back(QString(OutcomeWord(o)).toUpper().toStdString());
            names.insert(names.end(), {"FIRST PASS", "FINAL"});
            return names;
        };
        std::vector<std::vector<std::string>> images{heads({"IMAGE", "SHA-256"})};
        for (const Tally& t : s.images()) {
            const std::string hash = t.detail.empty() ? "-" : t.detail.substr(0, kShownHashDigits);
            images.push_back(cells({t.name, hash}, t));
        }
        add({"", "By image:"});
        add(table(images, 2));
        std::vector<std::vector<std::string>> ports{heads({"HOST", "PORT"})};
        for (const Tally& t : s.ports()) ports.push_back(cells({orDash(t.detail), t.name}, t));
        add({"", "By port:"});
        add(table(ports, 2));
    }
    if (!options.unit.empty()) {
        const std::vector<Record> attempts = s.attempts();
        add({"", "Attempts at unit " + options.unit + ": " + std::to_string(attempts.size())});
        if (!attempts.empty()) {
            std::vector<std::vector<std::string>> rows{
                {"STARTED", "HOST", "PORT", "OUTCOME", "CAUSE", "IMAGE"}};
            for (const Record& r : attempts) {
                rows.push_back({orDash(r.started), orDash(r.host), r.port, outcomeText(r),
                                causeOf(r), r.image});
            }
            add(table(rows, rows.front().size()));
        }
    }
    if (s.units() > 0) {
        add({"", "Units: " + std::to_string(s.units()) + " (" + std::to_string(s.unitsWritten()) +
                     " written, " + std::to_string(s.units() - s.unitsWritten()) +
                     " not written; first pass " + percentText(s.all().firstPassYield()) +
                     ", final " + percentText(s.all().finalYield()) + ")"});
    }
    if (!notWritten.empty()) {
        add({"", "Not written:"});
        for (const Record& r : notWritten) {
            // "started  host  port  outcome at step", with the unit when it has one.
            text.push_back("  " + orDash(r.started) + "  " + orDash(r.host) + "  " + r.port +
                           (r.unit.empty() ? "" : "  unit " + r.unit) + "  " + outcomeText(r));
            for (const std::string& why : r.diagnosis) text.push_back("      " + why);
        }
    }
    if (!s.unread().empty()) {
        add({"", "Not read: " + counted(static_cast<long long>(s.unread().size()), "line")});
        for (const UnreadLine& u : s.unread()) {
            text.push_back("  " + unreadText(paths, u, paths.size() > 1));
        }
    }
    return text;
}

QJsonValue orNull(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

// `object` with the tally's counts added.
QJsonObject withCounts(const Tally& t, QJsonObject object = {}) {
    object["devices"] = t.total();
    for (const OutcomeSeverity s : kCountOrder) object[OutcomeWord(s)] = t[s];
    object["yield"] = orNull(t.yield());
    return object;
}

// `object` with the tally's counts and the yields of the units first tried there.
QJsonObject withUnitCounts(const Tally& t, QJsonObject object = {}) {
    object = withCounts(t, std::move(object));
    object["units_first_tried"] = t.units;
    object["units_first_pass"] = t.firstPass;
    object["first_pass_yield"] = orNull(t.firstPassYield());
    object["final_yield"] = orNull(t.finalYield());
    return object;
}

// The elements of `list`, each as `json` makes it.
template <typename List, typename Json>
QJsonArray jsonArray(const List& list, Json json) {
    QJsonArray array;
    for (const auto& element : list) array.append(json(element));
    return array;
}

QJsonObject cycleTimeJson(const CycleTimes& times) {
    const bool any = times.devices() > 0;
    // To the tenth of a second, as the histogram counts them.
    const auto seconds = [any](double value) {
        return any ? QJsonValue(std::round(value * 10) / 10) : QJsonValue();
    };
    const QJsonArray bins = jsonArray(times.bins(), [](const CycleTimes::Bin& bin) {
        return QJsonObject{{"from", bin.from}, {"to", bin.to}, {"devices", bin.devices}};
    });
    return {{"devices", times.devices()},
            {"min", seconds(times.min())},
            {"median", seconds(times.quantile(0.5))},
            {"p90", seconds(times.quantile(0.9))},
            {"max", seconds(times.max())},
            {"bins", bins}};
}

QJsonObject attemptJson(const Record& r) {
    return QJsonObject{
        {"started", jsonText(r.started)},
        {"host", jsonTextOrNull(r.host)},
        {"port", jsonText(r.port)},
        {"unit", jsonTextOrNull(r.unit)},
        {"outcome", jsonText(r.outcome)},
        {"failed_step", jsonTextOrNull(r.failedStep)},
        {"diagnosis", jsonArray(r.diagnosis, jsonText)},
    };
}

QJsonObject summaryJson(const std::vector<std::string>& paths, const RecordsSummary& s,
                        const std::vector<Record>& notWritten, const Question& question) {
    const CliOptions& options = question.options;
    QJsonObject summary = withCounts(s.all());
    summary["first_pass_yield"] = orNull(s.all().firstPassYield());
    summary["final_yield"] = orNull(s.all().finalYield());
    summary["units_first_pass"] = s.unitsFirstPass();
    summary["period"] = QJsonObject{{"first", jsonTextOrNull(s.firstStarted())},
                                    {"last", jsonTextOrNull(s.lastStarted())},
                                    {"since", jsonTextOrNull(question.since)},
                                    {"until", jsonTextOrNull(question.until)}};
    summary["asked"] = QJsonObject{{"unit", jsonTextOrNull(options.unit)},
                                   {"host", jsonTextOrNull(options.host)},
                                   {"ports", jsonArray(options.ports, jsonText)},
                                   {"image", jsonTextOrNull(options.image)}};
    summary["made"] = QJsonObject{{"at", jsonText(Question::utcText(question.made))},
                                  {"host", jsonText(question.host)}};
    summary["images"] = jsonArray(s.images(), [](const Tally& t) {
        return withUnitCounts(t, {{"image", jsonText(t.name)}, {"sha256", jsonText(t.detail)}});
    });
    summary["ports"] = jsonArray(s.ports(), [](const Tally& t) {
        return withUnitCounts(t, {{"port", jsonText(t.name)}, {"host", jsonTextOrNull(t.detail)}});
    });
    summary["not_written"] = jsonArray(notWritten, attemptJson);
    summary["lines_not_read"] = jsonArray(s.unread(), [](const UnreadLine& u) { return u.line; });
    summary["lines_not_read_in"] = jsonArray(s.unread(), [&paths](const UnreadLine& u) {
        return QJsonObject{{"file", jsonText(paths[u.file])}, {"line", u.line}};
    });
    summary["units"] = s.units();
    summary["units_written"] = s.unitsWritten();
    summary["units_not_written"] = jsonArray(s.unitsNotWritten(), jsonText);
    summary["hours"] = jsonArray(s.hours(), [](const auto& hour) {
        return withCounts(hour.second, {{"hour", jsonTextOrNull(hour.first)}});
    });
    // The causes, the most frequent first (as first seen among equals).
    std::vector<const Cause*> causes;
    for (const Cause& c : s.causes()) causes.push_back(&c);
    std::ranges::stable_sort(causes, std::ranges::greater{}, &Cause::devices);
    summary["causes"] = jsonArray(causes, [](const Cause* c) {
        return QJsonObject{{"failed_step", jsonTextOrNull(c->step)},
                           {"answer", jsonText(c->answer)},
                           {"devices", c->devices},
                           {"units", jsonArray(c->units, jsonText)},
                           {"more", c->more}};
    });
    summary["cycle_time"] = cycleTimeJson(s.cycleTimes());
    if (!options.unit.empty()) {
        summary["attempts"] = jsonArray(s.attempts(), [](const Record& r) {
            QJsonObject a = attemptJson(r);
            a["image"] = jsonText(r.image);
            a["sha256"] = jsonText(r.sha256);
            a["cause"] =
                r.severity == OutcomeSeverity::Failure ? jsonText(causeOf(r)) : QJsonValue();
            a["seconds"] = r.seconds ? QJsonValue(*r.seconds) : QJsonValue();
            return a;
        });
    }
    return summary;
}

}  // namespace

CommandResult runRecords(const CliOptions& options, std::FILE*, std::FILE* out, std::FILE*) {
    std::string problem;
    const TimeBounds bounds = timeBounds(options.since, options.until, problem);
    if (!problem.empty()) return usageProblem(problem);
    // A database is named without its password wherever the summary names its sources.
    std::vector<std::string> paths;
    for (const std::string& path : options.args) {
        paths.push_back(isDatabaseUri(path) ? shownDatabase(path) : path);
    }
    // Every file is looked at and opened before any is read: a wrong name, or a file that may
    // not be read, ends the command at once.
    std::vector<FileStream> files;
    for (const std::string& path : options.args) {
        if (isDatabaseUri(path) || path == kStandardInput) {
            files.emplace_back(nullptr, &std::fclose);
            continue;
        }
        // Opened, then judged on what was opened: a pipe swapped in cannot hang the command.
        const OpenedFile opened = openFileForReading(path);
        if (opened.fd < 0) {
            const std::string problem = notARecordFile(path);
            return fileProblem(!problem.empty() ? problem
                                                : "cannot read the record file " + path + ": " +
                                                      std::strerror(opened.error));
        }
        files.emplace_back(streamOf(opened.fd, "rb"), &std::fclose);
        if (!files.back()) {
            return fileProblem("cannot read the record file " + path + ": " + std::strerror(errno));
        }
    }
    // So is the report's file: a whole day of records is not read for a page that cannot be
    // written.
    HtmlReportFile report;
    if (const std::string problem = options.html.empty() ? "" : report.open(options.html);
        !problem.empty())
        return fileProblem(problem);
    // The rows go out as they are read, the summary (for --check) is kept as without --csv.
    bool csvCut = false;
    const bool csvForTerminal = options.csv && isTerminal(out);
    const auto put = [&csvCut, out](const std::string& row) {
        csvCut = csvCut || std::fwrite(row.data(), 1, row.size(), out) != row.size();
        return !csvCut;
    };
    if (options.csv) {
        setBinaryMode(out);  // the rows end in CR LF as they are, on Windows too
        put(csvHeader());
    }
    // One unit's attempts come from every station's file: its rows go out in time order once
    // all are read.
    const bool oneUnit = !options.unit.empty();
    const auto each = [&](const Record& record) {
        return !options.csv || oneUnit || put(csvRow(record, csvForTerminal));
    };
    // The rows alone need no summary: without --check, --csv keeps nothing of the records, so
    // that its memory stays the same however many units they name.
    const bool summing = !options.csv || options.check || oneUnit;
    RecordsSummary summary;
    if (oneUnit) summary.keepAttempts();
    const RecordFilter filter{options.unit, options.host, options.ports, options.image};
    std::vector<std::string> readErrors;
    bool databaseUnread = false;  // a database that could not be read: no figures at all
    // The lines of this computer that wait in a database's spool, which it does not hold yet.
    std::vector<std::string> waiting;
    QJsonArray waitingJson;
    // A database alone, summed up without the rows of --csv or of one unit, sums where its rows
    // are; a database among other sources is read line by line, so that their units are
    // reconciled with each other.
    const bool sumsInDatabase = paths.size() == 1 && !options.csv && !oneUnit;
    for (size_t i = 0; i < paths.size() && !csvCut; ++i) {
        const Reading reading{i, summary, summing, bounds, filter, each};
        std::FILE* file = files[i] ? files[i].get() : stdin;
        const bool database = isDatabaseUri(options.args[i]);
        if (std::string error = !database        ? summarize(file, paths[i], reading)
                                : sumsInDatabase ? sumInDatabase(options.args[i], reading)
                                                 : summarizeDatabase(options.args[i], reading);
            !error.empty()) {
            readErrors.push_back(std::move(error));
            databaseUnread = databaseUnread || database;
        }
        if (database) {
            const std::string spool = spoolPathOf(options.args[i]);
            if (const size_t lines = spooledLines(spool).size(); lines > 0) {
                waiting.push_back(counted(static_cast<long long>(lines), "line") +
                                  " of this computer " + (lines == 1 ? "waits" : "wait") + " in " +
                                  spool + " for " + paths[i] +
                                  ", not counted here; the next write to it sends them");
                waitingJson.append(QJsonObject{{"database", QString::fromStdString(paths[i])},
                                               {"spool", QString::fromStdString(spool)},
                                               {"lines", static_cast<qint64>(lines)}});
            }
        }
    }
    summary.finish();
    if (options.csv && oneUnit) {
        for (const Record& record : summary.attempts()) {
            if (!put(csvRow(record, csvForTerminal))) break;
        }
    }
    if (options.csv && std::fflush(out) != 0) csvCut = true;
    const std::vector<Record> notWritten = summary.notWritten();
    CommandResult r;
    r.message = std::to_string(summary.all().total()) + " devices recorded";
    const Question question(bounds, options);
    // The figures as JSON, for --json and the page alone: a million rows list many attempts.
    QJsonObject result;
    if (options.json || report.isOpen()) {
        result = summaryJson(paths, summary, notWritten, question);
        if (!waitingJson.isEmpty()) result["waiting_in_spool"] = waitingJson;
        r.result = result;
    }
    // A database that could not be read leaves nothing to sum: only the error is said.
    if (databaseUnread) {
        r.result = QJsonValue();
        r.message.reset();
    }
    if (!options.csv && !databaseUnread) {
        r.text = summaryText(paths, summary, notWritten, question);
        for (const std::string& w : waiting) r.text.push_back("Waiting: " + w);
    }
    const auto fail = [&r](int code, const std::string& why) {
        r.note(why);
        if (r.exitCode != kExitOk) return;
        r.exitCode = code;
        if (code == kExitFileError) r.error = why;
    };
    if (csvCut) fail(kExitFileError, "standard output could not be written: the CSV is cut short");
    // What was read is summed up all the same; the summary says which lines it could not take.
    for (const std::string& error : readErrors) fail(kExitFileError, error);
    if (options.csv && !summary.unread().empty()) {
        const size_t count = summary.unread().size();
        const std::string first = unreadText(paths, summary.unread().front(), paths.size() > 1);
        r.note("left out of the CSV: " + counted(static_cast<long long>(count), "line") +
               " that could not be read (" + (count == 1 ? "" : "the first: ") + first + ")");
    }
    if (report.isOpen() && !databaseUnread) {
        if (std::string problem = report.save(htmlReport(result, paths, question.filters()));
            !problem.empty()) {
            fail(kExitFileError, problem);
        } else if (!options.csv) {
            r.text.push_back("");
            r.text.push_back("Report: " + options.html);
        }
    }
    if (!options.check) return r;
    // For the supervisor's script: every line was read, and every device and unit recorded
    // was written.
    // What follows the first of `count` lines or attempts: " (and 2 more lines not read)".
    const auto andMore = [](size_t count, const std::string& noun, const std::string& tail) {
        const auto more = static_cast<long long>(count) - 1;
        return more > 0 ? " (and " + counted(more, "more " + noun) + tail + ")" : std::string();
    };
    if (const std::vector<UnreadLine>& unread = summary.unread(); !unread.empty()) {
        fail(kExitFileError, "check: " + unreadText(paths, unread.front(), true) +
                                 andMore(unread.size(), "line", " not read"));
    }
    // An attempt cut off mid-write: nobody knows what the device holds.
    if (const std::vector<UnreadLine>& open = summary.unfinished(); !open.empty()) {
        fail(kExitFileError, "check: " + fileName(paths[open.front().file]) + " line " +
                                 std::to_string(open.front().line) +
                                 ": started, with no final line: " + cutOffText() +
                                 andMore(open.size(), "attempt", " like it"));
    }
    const auto devicesNotWritten =
        std::ranges::count_if(notWritten, [](const Record& d) { return d.unit.empty(); });
    const long long unitsNotWritten = summary.units() - summary.unitsWritten();
    if (devicesNotWritten + unitsNotWritten > 0) {
        fail(kExitDeviceFailure,
             "check: not every device is written: " + counted(unitsNotWritten, "unit") + " and " +
                 counted(devicesNotWritten, "device") + " without a unit");
    }
    return r;
}

}  // namespace quorvel::cli

#include "records_html.h"

#include <QJsonArray>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>

#include "quorvel_version.h"
#include "record_database.h"
#include "record_filter.h"
#include "records_charts.h"
#include "records_tallies.h"
#include "safe_file.h"

namespace quorvel::cli {
namespace {

// Lists of units and devices stop after this many, with "and N more".
constexpr qsizetype kListed = 100;
// A day of hours or fewer is drawn per hour; a longer span per day.
constexpr size_t kMostHourColumns = 48;

const char* kStyle = R"(
body { font: 14px/1.4 sans-serif; margin: 2em; color: #222; max-width: 1100px; }
h1 { font-size: 1.6em; margin-bottom: 0.2em; } h2 { font-size: 1.2em; margin-top: 1.8em; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { padding: 3px 10px; border-bottom: 1px solid #ddd; text-align: left; vertical-align: top; }
td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }
.cards { display: flex; flex-wrap: wrap; gap: 12px; }
.card { border: 1px solid #ccc; border-radius: 6px; padding: 8px 14px; min-width: 110px; }
.card .v { font-size: 1.6em; font-weight: bold; } .card .k { color: #555; }
svg.chart { width: 100%; height: auto; max-width: 900px; }
svg.bar { width: 120px; height: 10px; }
.track { fill: #eee; } .fill { fill: #2e7d32; }
.ok { fill: #2e7d32; background: #2e7d32; } .bad { fill: #c62828; background: #c62828; }
.cut { fill: #757575; background: #757575; } .doubt { fill: #f9a825; background: #f9a825; }
.axis, .grid { stroke: #999; stroke-width: 1; } .grid { stroke-dasharray: 3 3; stroke: #ccc; }
.scale { font-size: 11px; text-anchor: end; fill: #555; }
.label { font-size: 10px; text-anchor: middle; fill: #555; }
.hover { fill: transparent; } .hover:hover { fill: rgba(0, 0, 0, 0.06); }
.key { display: inline-block; width: 10px; height: 10px; margin: 0 4px 0 10px; }
.muted { color: #666; } .units { max-width: 520px; }
)";

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString esc(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

// A value as the page shows it: counts as whole numbers, others as the shortest decimal.
QString valueText(const QJsonValue& value) {
    if (value.isString()) return esc(value.toString());
    if (!value.isDouble()) return QStringLiteral("–");
    const double number = value.toDouble();
    if (std::trunc(number) == number && std::fabs(number) < 1e15) {
        return QString::number(static_cast<qint64>(number));
    }
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

// The value at `path` ("ports.0.yield") in the summary.
QJsonValue at(const QJsonObject& summary, const QString& path) {
    QJsonValue value = summary;
    for (const QString& step : path.split('.')) {
        bool index = false;
        const int n = step.toInt(&index);
        value = index ? value.toArray().at(n) : value.toObject().value(step);
    }
    return value;
}

// An element showing the figure at `path`, marked with it; a figure that is null shows as a
// dash, unmarked.
QString figure(const QJsonObject& summary, const QString& path, const QString& tag = "td",
               const QString& cssClass = "n") {
    const QJsonValue value = at(summary, path);
    const QString open = "<" + tag + (cssClass.isEmpty() ? "" : " class=\"" + cssClass + "\"");
    if (value.isNull() || value.isUndefined()) return open + ">–</" + tag + ">";
    return open + " data-figure=\"" + path + "\">" + valueText(value) + "</" + tag + ">";
}

// The counts and the yield of the tally at `path`, as cells, and its yield as a bar.
QString countCells(const QJsonObject& summary, const QString& path) {
    QString cells;
    cells += figure(summary, path + ".devices");
    for (const OutcomeSeverity s : kCountOrder)
        cells += figure(summary, path + "." + OutcomeWord(s));
    cells += figure(summary, path + ".yield");
    cells += "<td>" + shareBar(at(summary, path + ".yield").toDouble() / 100) + "</td>";
    return cells;
}

// The heads of countCells().
QString countHeads() {
    QString heads = "<th class=\"n\">Devices</th>";
    for (const OutcomeSeverity s : kCountOrder) {
        const QString word = OutcomeWord(s);
        heads += "<th class=\"n\">" + word.left(1).toUpper() + word.mid(1) + "</th>";
    }
    return heads + "<th class=\"n\">Yield %</th><th></th>";
}

QString moreText(qsizetype more, const QString& what) {
    return more > 0
               ? " <span class=\"muted\">and " + QString::number(more) + " more" + what + "</span>"
               : QString();
}

QString totals(const QJsonObject& s) {
    const auto card = [&s](const QString& path, const QString& name) {
        return "<div class=\"card\">" + figure(s, path, "div", "v") + "<div class=\"k\">" + name +
               "</div></div>";
    };
    const auto listed = [](const QJsonValue& list, const QString& name) {
        return "<div class=\"card\"><div class=\"v\">" + QString::number(list.toArray().size()) +
               "</div><div class=\"k\">" + name + "</div></div>";
    };
    QString html = "<h2 id=\"totals\">Totals</h2><div class=\"cards\">";
    html += card("devices", "devices");
    for (const OutcomeSeverity s : kCountOrder) html += card(OutcomeWord(s), OutcomeWord(s));
    html += card("yield", "yield % (success of all devices)") + card("units", "units") +
            card("units_written", "units written") +
            card("first_pass_yield", "first-pass yield % (units written at their first attempt)") +
            card("final_yield", "final yield % (units written)");
    return html + listed(s["units_not_written"], "units not written") +
           listed(s["lines_not_read"], "lines not read") + "</div>";
}

// The yields per fixture ("ports") or per image ("images"): a row each, named by two cells, with
// the units first tried there and their yields, by that first attempt and in the end.
QString yieldTable(const QJsonObject& s, const QString& list) {
    const bool ports = list == "ports";
    QString html = ports ? "<h2 id=\"fixtures\">Yield per fixture</h2><table><tr><th>Host</th>"
                           "<th>Port</th>"
                         : "<h2 id=\"images\">Yield per image</h2><table><tr><th>Image</th>"
                           "<th>SHA-256</th>";
    html += countHeads() +
            "<th class=\"n\">Units first tried</th><th class=\"n\">First pass %</th>"
            "<th class=\"n\">Final %</th></tr>";
    const QJsonArray rows = s[list].toArray();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString path = list + "." + QString::number(i);
        const QString hash = rows[i]["sha256"].toString();
        html += "<tr>" +
                (ports ? figure(s, path + ".host", "td", "") + figure(s, path + ".port", "td", "")
                       : figure(s, path + ".image", "td", "") + "<td title=\"" + esc(hash) + "\">" +
                             esc(hash.left(kShownHashDigits)) + "</td>") +
                countCells(s, path) + figure(s, path + ".units_first_tried") +
                figure(s, path + ".first_pass_yield") + figure(s, path + ".final_yield") + "</tr>";
    }
    return html + "</table>";
}

// "2026-03-02T08" as "2026-03-02 08:00".
QString hourLabel(const QJsonValue& hour) {
    if (!hour.isString()) return QStringLiteral("no time");
    return hour.toString().replace('T', ' ') + ":00";
}

QString hours(const QJsonObject& s) {
    const QJsonArray list = s["hours"].toArray();
    // Per hour for a day or two; per day beyond, summed up from the hours.
    const bool perDay = static_cast<size_t>(list.size()) > kMostHourColumns;
    std::map<QString, std::vector<long long>> days;
    std::vector<ChartColumn> columns;
    QString lastDay;
    for (const QJsonValue& hour : list) {
        std::vector<long long> parts;
        for (const char* word : kOutcomeWords) parts.push_back(hour[word].toInteger());
        if (!perDay) {
            // The hour, with its date where a day begins.
            const QString label = hourLabel(hour["hour"]);
            const bool newDay = label.left(10) != lastDay;
            lastDay = label.left(10);
            columns.push_back({newDay ? label.mid(5) : label.right(5), parts});
            continue;
        }
        std::vector<long long>& day =
            days.try_emplace(hour["hour"].toString().left(10), parts.size(), 0).first->second;
        for (size_t p = 0; p < parts.size(); ++p) day[p] += parts[p];
    }
    for (const auto& [day, parts] : days)
        columns.push_back({day.isEmpty() ? "no time" : day, parts});
    QString html =
        "<h2 id=\"hours\">Devices per " + QString(perDay ? "day" : "hour") + " (UTC)</h2>";
    if (list.isEmpty()) return html + "<p>No devices.</p>";
    // In the order of OutcomeSeverity, best first.
    const std::vector<ChartSeries> series{{"ok", OutcomeWord(OutcomeSeverity::Success)},
                                          {"doubt", OutcomeWord(OutcomeSeverity::Unconfirmed)},
                                          {"bad", OutcomeWord(OutcomeSeverity::Failure)},
                                          {"cut", OutcomeWord(OutcomeSeverity::Interrupted)}};
    html += columnChart(columns, series,
                        perDay ? "Devices per day by outcome" : "Devices per hour by outcome");
    html += "<details><summary>Every hour</summary><table><tr><th>Hour (UTC)</th>" + countHeads() +
            "</tr>";
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString path = "hours." + QString::number(i);
        html +=
            "<tr><td>" + esc(hourLabel(list[i]["hour"])) + "</td>" + countCells(s, path) + "</tr>";
    }
    return html + "</table></details>";
}

QString causes(const QJsonObject& s) {
    const QJsonArray list = s["causes"].toArray();
    QString html = "<h2 id=\"causes\">Devices not written, by cause</h2>";
    if (list.isEmpty()) return html + "<p>Every device was written.</p>";
    html +=
        "<p class=\"muted\">Every attempt that did not end in success, also at units written "
        "later, by the step it ended in and what the device answered.</p>"
        "<table><tr><th>Step</th><th>Answer</th><th class=\"n\">Devices</th><th></th>"
        "<th>Units</th></tr>";
    const double most = std::max(1.0, list.first()["devices"].toDouble());
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString path = "causes." + QString::number(i);
        QStringList units;
        for (const QJsonValue& unit : list[i]["units"].toArray()) units << esc(unit.toString());
        html += "<tr>" + figure(s, path + ".failed_step", "td", "") +
                figure(s, path + ".answer", "td", "") + figure(s, path + ".devices") + "<td>" +
                shareBar(list[i]["devices"].toDouble() / most, "bad") +
                "</td><td class=\"units\">" +
                (units.isEmpty() ? "<span class=\"muted\">no unit id recorded</span>"
                                 : units.join(", ") + moreText(list[i]["more"].toInteger(), "")) +
                "</td></tr>";
    }
    return html + "</table>";
}

QString cycleTime(const QJsonObject& s) {
    const QJsonObject times = s["cycle_time"].toObject();
    QString html = "<h2 id=\"cycle\">Write time of the successful writes</h2>";
    if (times["devices"].toInteger() == 0) return html + "<p>No successful write.</p>";
    html +=
        "<table><tr><th class=\"n\">Devices</th><th class=\"n\">Shortest s</th>"
        "<th class=\"n\">Median s</th><th class=\"n\">90% within s</th>"
        "<th class=\"n\">Longest s</th></tr><tr>";
    for (const char* key : {"devices", "min", "median", "p90", "max"}) {
        html += figure(s, QString("cycle_time.") + key);
    }
    html += "</tr></table>";
    std::vector<ChartColumn> columns;
    for (const QJsonValue& bin : times["bins"].toArray()) {
        columns.push_back({valueText(bin["from"]), {bin["devices"].toInteger()}});
    }
    html += columnChart(columns, {{"ok", "successful writes, by seconds taken"}},
                        "Successful writes by the seconds they took");
    return html;
}

QString notWritten(const QJsonObject& s) {
    const QJsonArray units = s["units_not_written"].toArray();
    QString html = "<h2 id=\"units\">Units not written</h2>";
    if (units.isEmpty()) {
        html += "<p>None.</p>";
    } else {
        QStringList shown;
        for (qsizetype i = 0; i < std::min(units.size(), kListed); ++i) {
            shown << esc(units[i].toString());
        }
        html += "<p class=\"units\">" + shown.join(", ") +
                moreText(units.size() - std::min(units.size(), kListed), "") + "</p>";
    }
    html += "<h2 id=\"interrupted\">Devices interrupted and not written since</h2>";
    QString rows;
    qsizetype count = 0;
    for (const QJsonValue& attempt : s["not_written"].toArray()) {
        if (attempt["outcome"].toString() != OutcomeWord(OutcomeSeverity::Interrupted)) continue;
        if (++count > kListed) continue;
        QStringList why;
        for (const QJsonValue& line : attempt["diagnosis"].toArray()) why << esc(line.toString());
        const auto cell = [&attempt](const char* key) {
            const QJsonValue value = attempt[key];
            return "<td>" + (value.isString() ? esc(value.toString()) : QString("–")) + "</td>";
        };
        rows += "<tr>" + cell("started") + cell("host") + cell("port") + cell("unit") +
                cell("failed_step") + "<td>" + why.join("<br>") + "</td></tr>";
    }
    if (count == 0) return html + "<p>None.</p>";
    return html +
           "<table><tr><th>Started (UTC)</th><th>Host</th><th>Port</th><th>Unit</th>"
           "<th>Step</th><th>Where it stopped</th></tr>" +
           rows + "</table>" + moreText(count - std::min(count, kListed), " devices");
}

// records --unit: every attempt at the unit, in time order.
QString unitAttempts(const QJsonObject& s) {
    if (!s.contains("attempts")) return {};
    const QJsonArray list = s["attempts"].toArray();
    QString html = "<h2 id=\"attempts\">Attempts at unit " +
                   esc(s["asked"].toObject()["unit"].toString()) + "</h2>";
    if (list.isEmpty()) return html + "<p>None.</p>";
    html +=
        "<table><tr><th>Started (UTC)</th><th>Host</th><th>Port</th><th>Outcome</th>"
        "<th>Step</th><th>Cause</th><th>Image</th></tr>";
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString path = "attempts." + QString::number(i);
        html += "<tr>";
        for (const char* key :
             {"started", "host", "port", "outcome", "failed_step", "cause", "image"}) {
            html += figure(s, path + "." + key, "td", "");
        }
        html += "</tr>";
    }
    return html + "</table>";
}

QString files(const std::vector<std::string>& names, const QJsonObject& s,
              const std::string& filters) {
    QStringList shown;
    bool databases = false;
    bool files = false;
    for (const std::string& name : names) {
        // A database is named without its password (the caller's shownDatabase()).
        (isDatabaseUri(name) ? databases : files) = true;
        shown << esc(name == "-" ? "standard input" : name);
    }
    const QString sources = !databases ? (names.size() == 1 ? "Record file" : "Record files")
                            : !files && names.size() == 1 ? "Database"
                                                          : "Records from";
    const QJsonObject period = s["period"].toObject();
    const QJsonObject made = s["made"].toObject();
    const auto text = [](const QJsonValue& v) { return esc(v.toString()); };
    QString html = "<p class=\"muted\">" + sources + ": " + shown.join(", ") + ".";
    html += period["first"].isString() ? " Attempts started from " + text(period["first"]) +
                                             " to " + text(period["last"]) + " (UTC)."
                                       : QString(" No attempt.");
    if (period["since"].isString()) html += " Asked from " + text(period["since"]) + ".";
    if (period["until"].isString()) html += " Asked before " + text(period["until"]) + ".";
    if (!filters.empty()) html += " Only the attempts of " + esc(filters) + ".";
    html += " Made at " + text(made["at"]) + " on " + text(made["host"]) + " by quorvel-flash " +
            esc(std::string(kVersion)) + ".";
    const QJsonArray unread = s["lines_not_read"].toArray();
    if (!unread.isEmpty()) {
        html += " " + QString::number(unread.size()) +
                (unread.size() == 1 ? " line was" : " lines were") +
                " not records and are not counted (records --check names them).";
    }
    return html + "</p>";
}

}  // namespace

QByteArray htmlReport(const QJsonObject& summary, const std::vector<std::string>& names,
                      const std::string& filters) {
    QString html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        // Nothing may be loaded nor run: the page is all there is.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; img-src data:\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>Quorvel production records</title><style>";
    html += kStyle;
    html += "</style></head><body><h1>Quorvel production records</h1>";
    html += files(names, summary, filters);
    html += unitAttempts(summary) + totals(summary) + yieldTable(summary, "ports") +
            yieldTable(summary, "images") + hours(summary) + causes(summary) + cycleTime(summary) +
            notWritten(summary);
    html += "</body></html>\n";
    return html.toUtf8();
}

std::string HtmlReportFile::open(const std::string& path) {
    path_ = path;
    const OpenedFile opened = openFileForWriting(path, FileWrite::Keep);
    if (opened.fd < 0) return "cannot write the report: " + opened.problem;
    file_ = std::make_unique<QFile>();
    if (!file_->open(opened.fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const std::string problem = file_->errorString().toStdString();
        file_.reset();
        return "cannot write the report " + path + ": " + problem;
    }
    return {};
}

std::string HtmlReportFile::save(const QByteArray& page) {
    if (!file_->resize(0) || file_->write(page) != page.size() || !file_->flush()) {
        return "cannot write the report " + path_ + ": " + file_->errorString().toStdString();
    }
    return {};
}

}  // namespace quorvel::cli

#include "unit_written.h"

#include <cstdio>
#include <memory>

#include "record_database.h"
#include "record_lines.h"
#include "record_reader.h"
#include "safe_file.h"

namespace quorvel::cli {

namespace {

// A final line that shows `unit` written.
std::optional<Record> writtenBy(const std::string& line, const std::string& unit) {
    std::optional<Record> r = readRecordLine(line);
    if (!r || r->opening || r->unit != unit || r->severity != OutcomeSeverity::Success)
        return std::nullopt;
    return r;
}

// The database's answer, the lines waiting in its spool first: a line moves from the spool to
// the database before it leaves the spool, so asked in this order it is seen in one or the
// other.
std::optional<UnitWritten> writtenInDatabase(const std::string& uri, const std::string& unit,
                                             std::string* unasked, const std::string& down) {
    if (unit.empty()) return std::nullopt;
    const std::string spool = spoolPathOf(uri);
    const std::vector<std::string> waiting = spooledLines(spool);
    for (size_t i = waiting.size(); i-- > 0;) {
        if (const std::optional<Record> r = writtenBy(waiting[i], unit))
            return UnitWritten{r->ended, r->host, r->port, static_cast<long long>(i + 1), spool};
    }
    if (!down.empty()) {
        if (unasked != nullptr) *unasked = "the database is unreachable since " + down;
        return std::nullopt;
    }
    std::string problem;
    const auto row = lastLineWritten(uri, unit, &problem);
    if (!problem.empty() && unasked != nullptr)
        *unasked = "the database did not answer: " + problem;
    const std::optional<Record> r = row ? writtenBy(row->first, unit) : std::nullopt;
    if (!r) return std::nullopt;
    return UnitWritten{r->ended, r->host, r->port, row->second, {}};
}

}  // namespace

std::optional<UnitWritten> findUnitWritten(const std::string& path, const std::string& unit,
                                           std::string* unasked, const std::string& down) {
    if (isDatabaseUri(path)) return writtenInDatabase(path, unit, unasked, down);
    if (unit.empty()) return std::nullopt;
    const OpenedFile opened = openFileForReading(path);
    if (opened.fd < 0) return std::nullopt;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(streamOf(opened.fd, "rb"),
                                                               &std::fclose);
    if (!file) return std::nullopt;
    std::optional<UnitWritten> found;
    RecordLines lines(file.get());
    std::string line;
    for (RecordLines::Next next; (next = lines.next(line)) != RecordLines::Next::End &&
                                 next != RecordLines::Next::ReadError;) {
        // Only a line that holds the id as it is, or escaped, can name the unit: the others
        // are passed over without being read as JSON, so that years of records take little.
        if (next != RecordLines::Next::Line ||
            (line.find(unit) == std::string::npos && line.find('\\') == std::string::npos)) {
            continue;
        }
        if (const std::optional<Record> r = writtenBy(line, unit))
            found = UnitWritten{r->ended, r->host, r->port, lines.number(), {}};
    }
    return found;
}

std::string unitWrittenText(const std::string& unit, const UnitWritten& w,
                            const std::string& path) {
    return "unit " + unit + " was written" + (w.ended.empty() ? "" : " at " + w.ended) +
           (w.host.empty() ? "" : " on " + w.host) + ", port " + w.port + " (" +
           (w.where.empty() ? path : w.where) + " line " + std::to_string(w.line) + ")";
}

}  // namespace quorvel::cli

#include "unit_written.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "record_database.h"
#include "record_lines.h"
#include "record_reader.h"
#include "safe_file.h"

namespace quorvel {

namespace {

// The line that shows the unit written, and where it is: the file it is in (the record, or a
// database's spool) and its line there, or the database and the row's id.
struct WrittenLine {
    Record record;
    std::string where;
    long long line = 0;
};

// The database's answer, the lines waiting in its spool first: a line moves from the spool to
// the database before it leaves the spool, so asked in this order it is seen in one or the
// other.
std::optional<WrittenLine> writtenInDatabase(const std::string& uri, const std::string& unit,
                                             std::string* unasked, const std::string& down) {
    const std::string shown = shownDatabase(uri);
    const std::string spool = spoolPathOf(uri);
    const std::vector<std::string> waiting = spooledLines(spool);
    for (size_t i = waiting.size(); i-- > 0;) {
        if (std::optional<Record> r = readWrittenLine(waiting[i], unit))
            return WrittenLine{std::move(*r), spool, static_cast<long long>(i + 1)};
    }
    if (!down.empty()) {
        if (unasked != nullptr) *unasked = "the database is unreachable since " + down;
        return std::nullopt;
    }
    std::string problem;
    const auto row = lastLineWritten(uri, unit, &problem);
    if (!problem.empty() && unasked != nullptr)
        *unasked = "the database did not answer: " + problem;
    std::optional<Record> r = row ? readWrittenLine(row->first, unit) : std::nullopt;
    if (!r) return std::nullopt;
    return WrittenLine{std::move(*r), shown, row->second};
}

std::optional<WrittenLine> writtenInFile(const std::string& path, const std::string& unit) {
    const OpenedFile opened = openFileForReading(path);
    if (opened.fd < 0) return std::nullopt;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(streamOf(opened.fd, "rb"),
                                                               &std::fclose);
    if (!file) return std::nullopt;
    std::optional<WrittenLine> found;
    RecordLines lines(file.get());
    std::string line;
    for (RecordLines::Next next; (next = lines.next(line)) != RecordLines::Next::End &&
                                 next != RecordLines::Next::ReadError;) {
        if (next != RecordLines::Next::Line) continue;
        if (std::optional<Record> r = readWrittenLine(line, unit))
            found = WrittenLine{std::move(*r), path, lines.number()};
    }
    return found;
}

}  // namespace

std::optional<std::string> findUnitWritten(const std::string& record, const std::string& unit,
                                           std::string* unasked, const std::string& down) {
    if (unit.empty()) return std::nullopt;
    const std::optional<WrittenLine> w = isDatabaseUri(record)
                                             ? writtenInDatabase(record, unit, unasked, down)
                                             : writtenInFile(record, unit);
    if (!w) return std::nullopt;
    const Record& r = w->record;
    return "unit " + unit + " was written" + (r.ended.empty() ? "" : " at " + r.ended) +
           (r.host.empty() ? "" : " on " + r.host) + ", port " + r.port + " (" + w->where +
           " line " + std::to_string(w->line) + ")";
}

}  // namespace quorvel

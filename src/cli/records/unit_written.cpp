#include "unit_written.h"

#include <cstdio>
#include <memory>

#include "record_database.h"
#include "record_lines.h"
#include "record_reader.h"
#include "safe_file.h"

namespace quorvel::cli {

std::optional<UnitWritten> findUnitWritten(const std::string& path, const std::string& unit) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    if (isDatabaseUri(path)) {
        const auto row = lastLineWritten(path, unit);
        const std::optional<Record> r = row ? readRecordLine(row->first) : std::nullopt;
        if (!r || r->unit != unit || r->severity != OutcomeSeverity::Success) return std::nullopt;
        return UnitWritten{r->ended, r->host, r->port, row->second};
    }
    if (unit.empty()) return std::nullopt;
    const OpenedFile opened = openFileForReading(path);
    if (opened.fd < 0) return std::nullopt;
    const std::unique_ptr<std::FILE, Closer> file(streamOf(opened.fd, "rb"));
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
        const std::optional<Record> r = readRecordLine(line);
        if (!r || r->opening || r->unit != unit || r->severity != OutcomeSeverity::Success)
            continue;
        found = UnitWritten{r->ended, r->host, r->port, lines.number()};
    }
    return found;
}

std::string unitWrittenText(const std::string& unit, const UnitWritten& w,
                            const std::string& path) {
    return "unit " + unit + " was written" + (w.ended.empty() ? "" : " at " + w.ended) +
           (w.host.empty() ? "" : " on " + w.host) + ", port " + w.port + " (" + path + " line " +
           std::to_string(w.line) + ")";
}

}  // namespace quorvel::cli

#include "records_csv.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <optional>
#include <vector>

#include "text_out.h"

namespace quorvel::cli {
namespace {

constexpr const char* kLineEnd = "\r\n";

// The keys of a record line, in the order of its documentation.
constexpr const char* kColumns[] = {
    "attempt",      "started",   "ended",    "tool_version",   "host",
    "port",         "unit",      "device",   "usb_serial",     "profile",
    "image",        "sha256",    "checksum", "outcome",        "failed_step",
    "cause",        "diagnosis", "warnings", "blocks_written", "blocks_unconfirmed",
    "device_state", "seconds"};

// A field as RFC 4180 wants it, after the comma that separates it from the one before (none
// before the first): quoted when it holds a separator, a quote or a line end.
void addField(std::string& row, const std::string& field, bool first) {
    if (!first) row += ',';
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        row += field;
        return;
    }
    row += '"';
    for (const char c : field) {
        if (c == '"') row += '"';
        row += c;
    }
    row += '"';
}

// A number as the record line writes it: the shortest text that reads back as the same value.
std::string numberText(const std::optional<double>& value) {
    if (!value) return {};
    return QString::number(*value, 'g', QLocale::FloatingPointShortest).toStdString();
}

std::string lines(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : "\n") + text;
    return joined;
}

}  // namespace

std::string csvHeader() {
    std::string row;
    for (const char* column : kColumns) addField(row, column, row.empty());
    return row + kLineEnd;
}

std::string csvRow(const ReadRecord& r, bool forTerminal) {
    const std::string fields[] = {r.attempt,
                                  r.started,
                                  r.ended,
                                  r.toolVersion,
                                  r.host,
                                  r.port,
                                  r.unit,
                                  r.device,
                                  r.usbSerial,
                                  r.profile,
                                  r.image,
                                  r.sha256,
                                  r.checksum,
                                  r.outcome,
                                  r.failedStep,
                                  r.cause,
                                  lines(r.diagnosis),
                                  lines(r.warnings),
                                  numberText(r.blocksWritten),
                                  numberText(r.blocksUnconfirmed),
                                  r.deviceState,
                                  numberText(r.seconds)};
    static_assert(std::size(fields) == std::size(kColumns));
    std::string row;
    bool first = true;
    for (const std::string& field : fields) {
        addField(row, forTerminal ? shownText(field) : field, first);
        first = false;
    }
    return row + kLineEnd;
}

}  // namespace quorvel::cli

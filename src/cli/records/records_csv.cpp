#include "records_csv.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <variant>
#include <vector>

#include "text_out.h"

namespace quorvel::cli {
namespace {

constexpr const char* kLineEnd = "\r\n";

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

// The key's field: a list a line per text, a number as the record line writes it (the shortest
// text that reads back as the same value), empty where the record has none.
std::string field(const Record& r, const RecordKey& key) {
    return std::visit(
        [&](auto member) -> std::string {
            const auto& value = r.*member;
            using V = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<V, std::string>) {
                return value;
            } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
                std::string joined;
                for (const std::string& text : value) joined += (joined.empty() ? "" : "\n") + text;
                return joined;
            } else if constexpr (std::is_same_v<V, bool>) {
                return {};
            } else if constexpr (std::is_same_v<V, std::optional<int>>) {
                return value ? std::to_string(*value) : std::string();
            } else {
                if (!value) return {};
                return QString::number(*value, 'g', QLocale::FloatingPointShortest).toStdString();
            }
        },
        key.member);
}

}  // namespace

std::string csvHeader() {
    std::string row;
    // Every key but the event: a started line has no row of its own.
    for (const RecordKey& key : RecordKeys()) {
        if (key.type != KeyType::Event) addField(row, key.name, row.empty());
    }
    return row + kLineEnd;
}

std::string csvRow(const Record& r, bool forTerminal) {
    std::string row;
    bool first = true;
    for (const RecordKey& key : RecordKeys()) {
        if (key.type == KeyType::Event) continue;
        const std::string text = field(r, key);
        addField(row, forTerminal ? shownText(text) : text, first);
        first = false;
    }
    return row + kLineEnd;
}

}  // namespace quorvel::cli

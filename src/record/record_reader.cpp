#include "record_reader.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>
#include <variant>
#include <vector>

#include "record_lines.h"

#ifdef QUORVEL_HAVE_SIMDJSON
#include <simdjson.h>

#include <cfloat>
#endif

namespace quorvel {
namespace {

// How a line's value at one of the record's keys stands, whichever parser read it.
enum class Kind { Undefined, Null, Text, Number, List, Other };

// Every string in `value`, names of members included, is whole UTF-16. Qt keeps an escaped half
// of a surrogate pair that comes without its other half ("\ud800"), which is no character.
bool wholeText(const QJsonValue& value) {
    if (value.isString()) return value.toString().isValidUtf16();
    if (value.isArray()) {
        return std::ranges::all_of(value.toArray(),
                                   [](const QJsonValue& item) { return wholeText(item); });
    }
    if (value.isObject()) {
        const QJsonObject members = value.toObject();
        for (auto it = members.begin(); it != members.end(); ++it) {
            if (!it.key().isValidUtf16() || !wholeText(it.value())) return false;
        }
    }
    return true;
}

// Qt reads an escape that JSON does not have ("\\q") as the character itself. In a document Qt
// took, backslashes stand only inside strings, each one starting an escape, so the escapes can
// be checked pair by pair.
bool knownEscapes(const QByteArray& text) {
    constexpr std::string_view kEscaped = "\"\\/bfnrtu";
    for (qsizetype at = text.indexOf('\\'); at >= 0; at = text.indexOf('\\', at + 2)) {
        if (at + 1 >= text.size() || kEscaped.find(text[at + 1]) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// The object that is the whole line, if it is one. Qt also takes control characters written as
// they are inside a string, which JSON does not: tab, CR and LF may only stand between the
// tokens, so with them made spaces the document must stay the same; the others may not appear.
std::optional<QJsonObject> lineObject(std::string_view line) {
    const QByteArray text(line.data(), qsizetype(line.size()));
    QByteArray blanked = text;
    std::ranges::replace_if(
        blanked, [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    if (std::ranges::any_of(blanked, [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(blanked, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    if (blanked != text && QJsonDocument::fromJson(text) != document) return std::nullopt;
    if (!knownEscapes(text) || !wholeText(document.object())) return std::nullopt;
    return document.object();
}

// A line's value at one of the record's keys as Qt's JSON reader gives it.
struct QtValue {
    QJsonValue value;

    Kind kind() const {
        switch (value.type()) {
            case QJsonValue::Undefined:
                return Kind::Undefined;
            case QJsonValue::Null:
                return Kind::Null;
            case QJsonValue::String:
                return Kind::Text;
            case QJsonValue::Double:
                return Kind::Number;
            case QJsonValue::Array:
                return Kind::List;
            default:
                return Kind::Other;
        }
    }
    std::string text() const { return value.toString().toStdString(); }
    double number() const { return value.toDouble(); }
    // Calls `item` with each item's kind and, for a string, its text.
    template <class Item>
    void items(Item item) const {
        for (const QJsonValue& v : value.toArray()) {
            if (v.isString()) {
                item(Kind::Text, v.toString().toStdString());
            } else {
                item(Kind::Other, std::string());
            }
        }
    }
};

#ifdef QUORVEL_HAVE_SIMDJSON

namespace dom = simdjson::dom;

// Deeper than any record; a deeper line is left to Qt, whose own bound then decides.
constexpr size_t kFastDepth = 32;
constexpr size_t kFirstCapacity = 4096;  // bytes: a record line is about 500

// Whether Qt reads every number in `element` as simdjson did. Qt refuses a number too small
// for a double ("1e-400"), which simdjson reads as 0, and reads "-0" as 0: a fractional number
// that comes out as zero or below the normal doubles is left to Qt.
bool numbersAlike(dom::element element) {
    switch (element.type()) {
        case dom::element_type::DOUBLE: {
            const double n = double(element);
            return std::fabs(n) >= DBL_MIN;
        }
        case dom::element_type::ARRAY:
            for (const dom::element item : dom::array(element)) {
                if (!numbersAlike(item)) return false;
            }
            return true;
        case dom::element_type::OBJECT:
            for (const dom::key_value_pair member : dom::object(element)) {
                if (!numbersAlike(member.value)) return false;
            }
            return true;
        default:
            return true;
    }
}

// The record's keys in the order of their names, as Qt writes a line's keys, so that looking
// each name up after the last one found mostly takes one comparison.
struct KeyIndex {
    using KeyName = std::pair<std::string_view, size_t>;
    std::vector<KeyName> byName;

    KeyIndex() {
        const std::span<const RecordKey> keys = RecordKeys();
        for (size_t k = 0; k < keys.size(); ++k) byName.emplace_back(keys[k].name, k);
        std::sort(byName.begin(), byName.end());
    }
    // The key's place in RecordKeys(), or -1. `next` is the place in byName after the last name
    // found: the names of a line written by this tool come a few places later at most.
    long find(std::string_view name, size_t& next) const {
        constexpr size_t kAhead = 4;
        size_t at = next;
        while (at < std::min(next + kAhead, byName.size()) && byName[at].first != name) ++at;
        if (at == std::min(next + kAhead, byName.size())) {
            at = size_t(std::ranges::lower_bound(byName, name, {}, &KeyName::first) -
                        byName.begin());
            if (at == byName.size() || byName[at].first != name) return -1;
        }
        next = at + 1;
        return long(byName[at].second);
    }
};

// A line's value at one of the record's keys as simdjson gives it.
struct FastValue {
    bool given = false;
    dom::element element;

    Kind kind() const {
        if (!given) return Kind::Undefined;
        switch (element.type()) {
            case dom::element_type::NULL_VALUE:
                return Kind::Null;
            case dom::element_type::STRING:
                return Kind::Text;
            case dom::element_type::INT64:
            case dom::element_type::UINT64:
            case dom::element_type::DOUBLE:
                return Kind::Number;
            case dom::element_type::ARRAY:
                return Kind::List;
            default:
                return Kind::Other;
        }
    }
    // Texts as they stand in the parser's document, until the next line.
    std::string_view text() const { return std::string_view(element); }
    double number() const { return element.get_double().value_unsafe(); }
    template <class Item>
    void items(Item item) const {
        for (const dom::element v : dom::array(element)) {
            if (v.is_string()) {
                item(Kind::Text, std::string_view(v));
            } else {
                item(Kind::Other, std::string_view());
            }
        }
    }
};

// The line's values at the record's keys (in the order of RecordKeys()), read by simdjson; false
// when simdjson does not take the line or Qt may read it otherwise, which is then Qt's to
// decide. simdjson takes strict JSON alone (UTF-8, escapes, surrogate pairs and control
// characters as JSON has them), so a line it takes is one Qt takes, with the same values; a key
// given twice counts as Qt counts it, the last time. The values stand until the next line.
bool fastValues(std::string_view line, std::vector<FastValue>& values) {
    // One parser a thread, grown to the longest line it read, its depth kept; without it (no
    // memory) every line is Qt's.
    thread_local dom::parser parser;
    thread_local const bool ready =
        parser.allocate(kFirstCapacity, kFastDepth) == simdjson::SUCCESS;
    dom::element root;
    dom::object object;
    if (!ready || parser.parse(line.data(), line.size()).get(root) != simdjson::SUCCESS ||
        root.get_object().get(object) != simdjson::SUCCESS) {
        return false;
    }
    static const KeyIndex index;
    values.assign(RecordKeys().size(), FastValue());
    size_t next = 0;
    for (const dom::key_value_pair member : object) {
        if (!numbersAlike(member.value)) return false;
        if (const long k = index.find(member.key, next); k >= 0) {
            values[size_t(k)] = FastValue{true, member.value};
        }
    }
    return true;
}

#endif

// Whether the line's value `v` at `key` is as the record needs it to be.
template <class Value>
bool meets(const RecordKey& key, const Value& v, bool opening) {
    const Kind kind = v.kind();
    switch (key.need) {
        case KeyNeed::Nothing:
            return true;
        case KeyNeed::Text:
            return kind == Kind::Text;
        case KeyNeed::TextWhenStarted:
            return !opening || kind == Kind::Text;
        case KeyNeed::TextWhenFinal:
            return opening || kind == Kind::Text;
        case KeyNeed::TextsIfGivenFinal: {
            if (opening || kind == Kind::Undefined || kind == Kind::Null) return true;
            bool texts = kind == Kind::List;
            if (texts) v.items([&texts](Kind item, const auto&) { texts &= item == Kind::Text; });
            return texts;
        }
    }
    return false;
}

// Takes the line's value `v` at `key` into the record; texts that are not strings (a list where
// warnings should be) are passed over, since they only inform. Texts are copied into the room
// the record's strings already have: a record read again and again allocates little.
template <class Value>
void take(Record& r, const RecordKey& key, const Value& v) {
    const Kind kind = v.kind();
    std::visit(
        [&](auto member) {
            auto& field = r.*member;
            using V = std::decay_t<decltype(field)>;
            if constexpr (std::is_same_v<V, std::string>) {
                if (kind == Kind::Text) {
                    field.assign(v.text());
                } else {
                    field.clear();
                }
            } else if constexpr (std::is_same_v<V, bool>) {
                field = kind == Kind::Text && v.text() == kStartedEvent;
            } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
                size_t texts = 0;
                if (kind == Kind::List) {
                    v.items([&field, &texts](Kind item, const auto& text) {
                        if (item != Kind::Text) return;
                        if (texts < field.size()) {
                            field[texts].assign(text);
                        } else {
                            field.emplace_back(text);
                        }
                        ++texts;
                    });
                }
                field.resize(texts);
            } else if constexpr (std::is_same_v<V, std::optional<int>>) {
                // A count is a whole number in range; anything else is no count.
                const double n = kind == Kind::Number ? v.number() : -1;
                const bool count = n >= 0 && n <= INT_MAX && n == std::floor(n);
                field = count ? std::optional<int>(static_cast<int>(n)) : std::nullopt;
            } else {
                field = kind == Kind::Number ? std::optional<double>(v.number()) : std::nullopt;
            }
        },
        key.member);
}

// The record of a line whose value at RecordKeys()[k] is value(k), into `record`; false, and
// `record` empty, when the line is no record. A record already there is filled again: every
// key's member is taken from the line, and the rest set here.
template <class ValueAt>
bool recordOf(ValueAt value, std::optional<Record>& record) {
    const std::span<const RecordKey> keys = RecordKeys();
    Record& r = record ? *record : record.emplace();
    r.unfinished = false;
    r.severity = OutcomeSeverity::Success;
    // The event first: what the other keys must hold depends on it.
    for (size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].type == KeyType::Event) take(r, keys[k], value(k));
    }
    bool taken = true;
    for (size_t k = 0; k < keys.size() && taken; ++k) {
        taken = meets(keys[k], value(k), r.opening);
        if (taken) take(r, keys[k], value(k));
    }
    if (taken && r.opening) {
        taken = !r.attempt.empty();
    } else if (taken) {
        const std::optional<OutcomeSeverity> severity = SeverityNamed(r.outcome);
        taken = severity.has_value();
        if (taken) r.severity = *severity;
    }
    if (!taken) record.reset();
    return taken;
}

}  // namespace

bool fastRecordParser() {
#ifdef QUORVEL_HAVE_SIMDJSON
    return true;
#else
    return false;
#endif
}

bool readRecordLine(std::string_view line, std::optional<Record>& record, RecordParser parser) {
#ifdef QUORVEL_HAVE_SIMDJSON
    thread_local std::vector<FastValue> values;
    if (parser == RecordParser::Fastest && fastValues(line, values)) {
        return recordOf([](size_t k) -> const FastValue& { return values[k]; }, record);
    }
#else
    (void)parser;
#endif
    record.reset();
    const std::optional<QJsonObject> object = lineObject(line);
    if (!object) return false;
    std::vector<QtValue> qtValues;
    for (const RecordKey& key : RecordKeys()) qtValues.push_back({(*object)[key.name]});
    return recordOf([&qtValues](size_t k) -> const QtValue& { return qtValues[k]; }, record);
}

std::optional<Record> readRecordLine(std::string_view line, RecordParser parser) {
    std::optional<Record> record;
    readRecordLine(line, record, parser);
    return record;
}

std::optional<Record> readWrittenLine(std::string_view line, std::string_view unit) {
    if (line.find(unit) == std::string_view::npos && line.find('\\') == std::string_view::npos)
        return std::nullopt;
    std::optional<Record> r = readRecordLine(line);
    if (!r || r->opening || r->unit != unit || r->severity != OutcomeSeverity::Success)
        return std::nullopt;
    return r;
}

}  // namespace quorvel

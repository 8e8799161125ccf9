#include "station_profile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <map>

#include "careful_read.h"
#include "image_identity.h"
#include "record_database.h"
#include "unit_id.h"

namespace quorvel::cli {
namespace {

// Far more than any station's profile takes.
constexpr qint64 kLargestProfile = 1 << 20;

enum class Kind { Text, Texts, Flag };

struct Key {
    const char* name;
    Kind kind;
};

// Every key a profile knows, in the order the messages list them.
constexpr Key kKeys[] = {
    {"name", Kind::Text},   {"image", Kind::Text},  {"approved_sha256", Kind::Texts},
    {"ports", Kind::Texts}, {"record", Kind::Text}, {"log", Kind::Text},
    {"loader", Kind::Text}, {"strict", Kind::Flag}, {"scan", Kind::Flag},
    {"rewrite", Kind::Flag}};

const Key* findKey(const QString& name) {
    const auto found =
        std::ranges::find_if(kKeys, [&](const Key& key) { return name == key.name; });
    return found == std::end(kKeys) ? nullptr : found;
}

std::string knownKeys() {
    std::string names;
    for (const Key& key : kKeys) names += (names.empty() ? "" : " ") + std::string(key.name);
    return spoken(names, "and");
}

// A text as JSON writes it, quotes included: what a profile holds where it gives that text.
QByteArray jsonText(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Where the key `name` stands in the text, each time it does: its quoted name followed by a
// colon. A profile is one flat object whose values are texts, lists of texts and flags, so a
// quoted name before a colon is a key; inside a text its quotes would be escaped.
std::vector<qsizetype> keyOffsets(const QByteArray& text, const QString& name) {
    const QByteArray quoted = jsonText(name);
    std::vector<qsizetype> offsets;
    for (qsizetype at = text.indexOf(quoted); at >= 0; at = text.indexOf(quoted, at + 1)) {
        if (at > 0 && text[at - 1] == '\\') continue;
        qsizetype after = at + quoted.size();
        while (after < text.size() && std::isspace(static_cast<unsigned char>(text[after])))
            ++after;
        if (after < text.size() && text[after] == ':') offsets.push_back(at);
    }
    return offsets;
}

// Reads the object's keys and values, and says where each stands.
class ProfileText {
  public:
    ProfileText(const std::string& path, const QByteArray& text) : path_(path), text_(text) {}

    // "line3.json line 4: " before a problem at `offset`.
    std::string at(qsizetype offset) const {
        const qsizetype line = 1 + text_.left(std::max<qsizetype>(offset, 0)).count('\n');
        return "profile " + path_ + " line " + std::to_string(line) + ": ";
    }
    // Where the key stands (its first time), else where the object begins.
    qsizetype keyAt(const QString& name) const {
        const std::vector<qsizetype> offsets = keyOffsets(text_, name);
        return offsets.empty() ? std::max<qsizetype>(text_.indexOf('{'), 0) : offsets.front();
    }
    // Where the `nth` (from 0) time `value` stands after the key `name`, else the key.
    qsizetype valueAt(const QString& name, const QString& value, int nth) const {
        const qsizetype key = keyAt(name);
        const QByteArray quoted = jsonText(value);
        qsizetype at = text_.indexOf(quoted, key + 1);
        for (int n = 0; n < nth && at >= 0; ++n) at = text_.indexOf(quoted, at + 1);
        return at >= 0 ? at : key;
    }

  private:
    std::string path_;
    const QByteArray& text_;
};

bool isSha256(const std::string& text) {
    return text.size() == 64 &&
           std::ranges::all_of(text, [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// `file` as named from the folder the tool runs in: a relative path in a profile is relative
// to the profile's own folder, wherever the station is started from.
std::string besideProfile(const std::string& profilePath, const std::string& file) {
    if (file.empty() || !QDir::isRelativePath(QString::fromStdString(file))) return file;
    const QString folder = QFileInfo(QString::fromStdString(profilePath)).path();
    if (folder == ".") return file;
    return QDir(folder).filePath(QString::fromStdString(file)).toStdString();
}

// What a value of each kind is, for the message that it is not one, in the order of Kind.
constexpr const char* kKindTexts[] = {"a text", "a list of texts ([\"...\", \"...\"])",
                                      "true or false"};

bool hasKind(const QJsonValue& value, Kind kind) {
    if (kind == Kind::Text) return value.isString();
    if (kind == Kind::Flag) return value.isBool();
    return value.isArray() && std::ranges::all_of(value.toArray(), [](const QJsonValue& item) {
               return item.isString();
           });
}

std::vector<std::string> texts(const QJsonValue& value) {
    std::vector<std::string> list;
    for (const QJsonValue& item : value.toArray()) list.push_back(item.toString().toStdString());
    return list;
}

}  // namespace

bool applyStationProfile(const std::string& path, CliOptions& options, std::string& problem) {
    std::string why;
    const std::optional<QByteArray> read = readCarefully(path, kLargestProfile, why);
    if (!read) {
        // It decides what is written to the devices: it is used as it is, or not at all.
        problem = "profile " + path + ": " + why;
        return false;
    }
    const QByteArray& text = *read;
    const ProfileText where(path, text);
    const auto fail = [&](qsizetype offset, const std::string& text) {
        problem = where.at(offset) + text;
        return false;
    };
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        return fail(error.offset, "not JSON: " + error.errorString().toStdString());
    }
    if (!document.isObject())
        return fail(0, "a profile is one JSON object: { \"image\": ..., ... }");
    const QJsonObject object = document.object();
    // Each key once and known, the first wrong one in the order of the text.
    std::map<qsizetype, std::string> wrong;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::vector<qsizetype> offsets = keyOffsets(text, it.key());
        const qsizetype first = offsets.empty() ? 0 : offsets.front();
        const Key* key = findKey(it.key());
        const std::string name = jsonText(it.key()).toStdString();
        if (key == nullptr) {
            wrong.emplace(first, "unknown key " + name + " (a profile takes " + knownKeys() + ")");
        } else if (offsets.size() > 1) {
            wrong.emplace(offsets[1], name + " is given twice");
        } else if (!hasKind(it.value(), key->kind)) {
            wrong.emplace(first, name + " takes " + kKindTexts[static_cast<size_t>(key->kind)]);
        }
    }
    if (!wrong.empty()) return fail(wrong.begin()->first, wrong.begin()->second);

    std::string name = object["name"].toString().toStdString();
    if (object.contains("name")) {
        if (const std::string why = unitIdProblem(name); !why.empty() || name.empty()) {
            return fail(where.keyAt("name"),
                        "\"name\" names the station: " + (name.empty() ? "it is empty" : why));
        }
    } else {
        name = QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
    }
    const std::string image = object["image"].toString().toStdString();
    if (image.empty()) {
        return fail(where.keyAt("image"), "no \"image\": name the firmware file the line writes");
    }
    if (!object.contains("approved_sha256") || object["approved_sha256"].toArray().isEmpty()) {
        return fail(where.keyAt("approved_sha256"),
                    "no \"approved_sha256\": list the SHA-256 of each image the line may write "
                    "(sha256sum FILE shows it)");
    }
    std::vector<std::string> approved;
    std::map<std::string, int> seen;
    for (const std::string& sha : texts(object["approved_sha256"])) {
        const int nth = seen[sha]++;
        if (!isSha256(sha)) {
            return fail(where.valueAt("approved_sha256", QString::fromStdString(sha), nth),
                        "\"approved_sha256\" holds " +
                            jsonText(QString::fromStdString(sha)).toStdString() +
                            ", which is no SHA-256 (64 hexadecimal digits)");
        }
        approved.push_back(lower(sha));
    }
    const std::vector<std::string> ports = texts(object["ports"]);
    if (ports.empty()) {
        return fail(where.keyAt("ports"),
                    "no \"ports\": name each fixture's port "
                    "(a stable name such as /dev/serial/by-path/...)");
    }
    seen.clear();
    for (const std::string& port : ports) {
        const int nth = seen[port]++;
        const qsizetype at = where.valueAt("ports", QString::fromStdString(port), nth);
        if (port.empty()) return fail(at, "a port in \"ports\" is empty");
        if (nth > 0) return fail(at, "the port " + port + " is given twice");
    }
    const std::string loader = object["loader"].toString().toStdString();
    if (object.contains("loader") && !listed(loader, findOption("--loader")->values)) {
        return fail(where.keyAt("loader"), "\"loader\" takes 1.05 or 1.06");
    }
    std::string record = object["record"].toString().toStdString();
    if (isDatabaseUri(record)) {
        if (!QUrl(QString::fromStdString(record)).password().isEmpty()) {
            return fail(where.keyAt("record"),
                        "the record's URI holds a password: keep it in the station user's "
                        "~/.pgpass (or the file PGPASSFILE names), not in the profile");
        }
    } else {
        record = besideProfile(path, record);
    }
    const bool scan = object["scan"].toBool();
    if (scan && ports.size() != 1) {
        return fail(where.keyAt("scan"), "\"scan\" needs exactly one port in \"ports\" (it has " +
                                             std::to_string(ports.size()) + ")");
    }
    // What the command line gave wins.
    const auto given = [&](std::string_view option) {
        return std::ranges::find(options.given, option) != options.given.end();
    };
    options.profileName = name;
    options.approved = approved;
    if (options.args.empty()) options.args.push_back(besideProfile(path, image));
    if (options.ports.empty()) options.ports = ports;
    if (!given("--record")) options.record = record;
    if (!given("--log"))
        options.logFile = besideProfile(path, object["log"].toString().toStdString());
    if (!given("--loader") && !loader.empty()) options.loader = loader;
    options.strict = options.strict || object["strict"].toBool();
    options.rewrite = options.rewrite || object["rewrite"].toBool();
    // A scanner names the boards of a station; a single write takes --unit.
    options.scan = options.scan || (scan && options.station);
    return true;
}

std::string unapprovedImage(const CliOptions& options, const std::string& sha256) {
    if (options.profile.empty()) return {};
    if (std::ranges::find(options.approved, lower(sha256)) != options.approved.end()) return {};
    std::string approved;
    for (const std::string& sha : options.approved) {
        approved += (approved.empty() ? "" : ", ") + sha.substr(0, kShownDigits);
    }
    const std::string file =
        QFileInfo(QString::fromStdString(options.args.at(0))).fileName().toStdString();
    return file + " (SHA-256 " + sha256.substr(0, kShownDigits) + ") is not approved by " +
           options.profile + ", which approves " + approved;
}

}  // namespace quorvel::cli

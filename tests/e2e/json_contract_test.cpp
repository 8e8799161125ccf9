// quorvel-flash --json against its documented contract: every command's real output, on
// success and on each kind of failure, is one JSON object that the schema in docs/json.md
// accepts, and its exit_code and outcome agree with the process; the lines of a record file keep
// the schema in docs/record.md, and each document's examples keep its schema.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "sim_process.h"

namespace {

// The ```json blocks of a document in docs/, in their order: the first is the schema, the
// others are examples that must keep it.
QStringList jsonBlocks(const QString& document) {
    QFile file(QStringLiteral(QUORVEL_SOURCE_DIR "/docs/") + document);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString text = QString::fromUtf8(file.readAll());
    QStringList blocks;
    for (qsizetype from = text.indexOf("```json\n"); from >= 0;
         from = text.indexOf("```json\n", from + 1)) {
        const qsizetype to = text.indexOf("\n```", from + 8);
        if (to < 0) break;
        blocks << text.mid(from + 8, to - from - 8);
    }
    return blocks;
}

QJsonObject documentedSchema(const QString& document) {
    const QStringList blocks = jsonBlocks(document);
    return blocks.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(blocks[0].toUtf8()).object();
}

bool hasType(const QJsonValue& v, const QString& type) {
    if (type == "integer") return v.isDouble() && v.toDouble() == double(qint64(v.toDouble()));
    if (type == "number") return v.isDouble();
    if (type == "string") return v.isString();
    if (type == "boolean") return v.isBool();
    if (type == "object") return v.isObject();
    if (type == "array") return v.isArray();
    return type == "null" && v.isNull();
}

// The part of JSON Schema the contract uses: type, const, enum, properties, required,
// additionalProperties false, items, oneOf and local $ref. Returns what is wrong, or empty.
QString violation(const QJsonValue& v, const QJsonObject& s, const QJsonObject& root,
                  const QString& at) {
    if (s.contains("$ref")) {
        const QString name = s["$ref"].toString().section('/', -1);
        return violation(v, root["$defs"].toObject()[name].toObject(), root, at);
    }
    if (s.contains("oneOf")) {
        int matches = 0;
        for (const QJsonValue& option : s["oneOf"].toArray()) {
            matches += violation(v, option.toObject(), root, at).isEmpty() ? 1 : 0;
        }
        return matches == 1 ? QString()
                            : at + ": matches " + QString::number(matches) + " of oneOf";
    }
    if (s.contains("const") && v != s["const"]) return at + ": not the constant";
    if (s.contains("enum") && !s["enum"].toArray().contains(v)) return at + ": not in the enum";
    if (s.contains("type")) {
        const QJsonValue t = s["type"];
        const QJsonArray types = t.isArray() ? t.toArray() : QJsonArray{t};
        bool ok = false;
        for (const QJsonValue& type : types) ok = ok || hasType(v, type.toString());
        if (!ok) return at + ": wrong type";
    }
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        const QJsonObject properties = s["properties"].toObject();
        for (const QJsonValue& key : s["required"].toArray()) {
            if (!o.contains(key.toString())) return at + ": no key " + key.toString();
        }
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!properties.contains(it.key())) {
                if (s["additionalProperties"] == QJsonValue(false)) {
                    return at + ": unexpected key " + it.key();
                }
                continue;
            }
            const QString why =
                violation(it.value(), properties[it.key()].toObject(), root, at + "." + it.key());
            if (!why.isEmpty()) return why;
        }
    }
    if (v.isArray() && s.contains("items")) {
        const QJsonArray items = v.toArray();
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QString why = violation(items[i], s["items"].toObject(), root,
                                          at + "[" + QString::number(i) + "]");
            if (!why.isEmpty()) return why;
        }
    }
    return {};
}

}  // namespace

class JsonContractTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        schema_ = documentedSchema("json.md");
        QVERIFY2(!schema_.isEmpty(), "docs/json.md holds no readable schema");
        recordSchema_ = documentedSchema("record.md");
        QVERIFY2(!recordSchema_.isEmpty(), "docs/record.md holds no readable schema");
    }

    // What the documents show is what the schemas allow.
    void documentedExamplesKeepTheirSchema_data() {
        QTest::addColumn<QString>("document");
        QTest::newRow("json.md") << "json.md";
        QTest::newRow("record.md") << "record.md";
    }
    void documentedExamplesKeepTheirSchema() {
        QFETCH(QString, document);
        const QStringList blocks = jsonBlocks(document);
        QVERIFY2(blocks.size() >= 2, "a schema and at least one example");
        const QJsonObject schema = QJsonDocument::fromJson(blocks[0].toUtf8()).object();
        for (qsizetype i = 1; i < blocks.size(); ++i) {
            QJsonParseError error;
            const QJsonDocument example = QJsonDocument::fromJson(blocks[i].toUtf8(), &error);
            QVERIFY2(example.isObject(), qPrintable(error.errorString() + ": " + blocks[i]));
            const QString why = violation(example.object(), schema, schema, "$");
            QVERIFY2(why.isEmpty(), qPrintable(why + "\n" + blocks[i]));
        }
    }

    void everyCommandKeepsTheContract_data() {
        QTest::addColumn<QStringList>("args");  // ${DATA} and ${SLAVE} are filled in
        QTest::addColumn<QStringList>("sim");   // the simulator's options; empty: none needed
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("outcome");
        const QString file = "${DATA}/small.mot";
        const QStringList port = {"--port", "${SLAVE}"};
        const QStringList healthy = {"--log", "/dev/null"};
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        row("info") << QStringList{"info", file} << QStringList{} << 0 << QString("success");
        row("info, no such file") << QStringList{"info", "${DATA}/none.mot"} << QStringList{} << 2
                                  << QString("error");
        row("info, bad record") << QStringList{"info", "${DATA}/bad_checksum.mot"} << QStringList{}
                                << 2 << QString("error");
        row("info, cut short") << QStringList{"info", "${DATA}/cut_short.mot"} << QStringList{} << 0
                               << QString("success");
        row("info, count record disagrees") << QStringList{"info", "${DATA}/wrong_count.mot"}
                                            << QStringList{} << 2 << QString("error");
        row("checksum") << QStringList{"checksum", file, "4000", "40FF"} << QStringList{} << 0
                        << QString("success");
        row("checksum, out of range") << QStringList{"checksum", file, "1000", "40FF"}
                                      << QStringList{} << 64 << QString("error");
        row("dump refuses --json")
            << QStringList{"dump", file} << QStringList{} << 64 << QString("error");
        row("no command") << QStringList{} << QStringList{} << 64 << QString("error");
        row("unknown option") << QStringList{"info", "--frobnicate"} << QStringList{} << 64
                              << QString("error");
        row("ports") << QStringList{"ports"} << QStringList{} << 0 << QString("success");
        // ${RECORD}: a record file, whose lines must keep the schema in docs/record.md.
        const QStringList record = {"--record", "${RECORD}"};
        row("write") << QStringList{"write", file, "--yes", "--unit", "A1"} + port + record
                     << healthy << 0 << QString("success");
        row("write, block refused")
            << QStringList{"write", file, "--yes"} + port + record
            << QStringList{"--fault", "program@0x4000=status:E"} << 1 << QString("failure");
        row("write, missing port")
            << QStringList{"write", file, "--yes", "--port", "/dev/ttyQUORVELNONE"} << healthy << 1
            << QString("failure");
        row("write, nothing to write")
            << QStringList{"write", "${DATA}/headers_only.mot", "--yes"} + port << healthy << 2
            << QString("error");
        row("write, two ports") << QStringList{"write",
                                               file,
                                               "--yes",
                                               "--port",
                                               "${SLAVE}",
                                               "--port",
                                               "/dev/ttyQUORVELNONE"}
                                << healthy << 1 << QString("failure");
        row("write, dry run") << QStringList{"write", file, "--dry-run"} + port << healthy << 0
                              << QString("success");
        row("write without --yes")
            << QStringList{"write", file} + port << healthy << 64 << QString("error");
        row("erase") << QStringList{"erase"} + port << healthy << 0 << QString("success");
        row("connect, silent") << QStringList{"connect"} + port
                               << QStringList{"--fault", "connect=silent"} << 1
                               << QString("failure");
        row("pin") << QStringList{"pin", "--pin", "3"} + port << healthy << 0 << QString("success");
        row("pin, NG") << QStringList{"pin", "--pin", "3"} + port
                       << QStringList{"--fault", "pin=status:NG"} << 1 << QString("failure");
        row("pin, bad text") << QStringList{"pin", "--pin", "12345"} + port << healthy << 64
                             << QString("error");
    }
    void everyCommandKeepsTheContract() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, sim);
        QFETCH(int, code);
        QFETCH(QString, outcome);
        std::unique_ptr<SimProcess> device;
        if (!sim.isEmpty()) {
            device = std::make_unique<SimProcess>(sim);
            QVERIFY(device->started());
            args.replaceInStrings("${SLAVE}", device->slavePath());
        }
        args.replaceInStrings("${DATA}", QStringLiteral(QUORVEL_TEST_DATA_DIR));
        QTemporaryDir dir;
        const QString recordPath = dir.filePath("line.jsonl");
        const bool recorded = args.contains("${RECORD}");
        args.replaceInStrings("${RECORD}", recordPath);
        QProcess tool;
        tool.start(flashToolPath(), args << "--json");
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(60000));
        const QByteArray out = tool.readAllStandardOutput();

        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), code);
        QVERIFY2(out.endsWith('\n') && out.count('\n') == 1, out.constData());  // one object
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(out, &error);
        QVERIFY2(doc.isObject(), qPrintable(error.errorString() + ": " + out));
        const QString why = violation(doc.object(), schema_, schema_, "$");
        QVERIFY2(why.isEmpty(), qPrintable(why + "\n" + out));
        QCOMPARE(doc["exit_code"].toInt(), code);
        QCOMPARE(doc["outcome"].toString(), outcome);
        QCOMPARE(doc["error"].isNull(), outcome != "error");
        if (recorded) {
            QFile lines(recordPath);
            QVERIFY(lines.open(QIODevice::ReadOnly));
            // The attempt's started line, then its final line.
            const QList<QByteArray> written = lines.readAll().split('\n');
            QCOMPARE(written.size(), 3);
            for (const QByteArray& line : written.first(2)) {
                const QString lineWhy = violation(QJsonDocument::fromJson(line).object(),
                                                  recordSchema_, recordSchema_, "$");
                QVERIFY2(lineWhy.isEmpty(), qPrintable(lineWhy + "\n" + line));
            }
        }
        // A single step's verdict is the device's outcome (a write reports success whatever
        // its disconnect says).
        for (const QJsonValue& device : doc["devices"].toArray()) {
            const QJsonArray steps = device["steps"].toArray();
            if (args.first() == "write" || steps.isEmpty()) continue;
            QCOMPARE(steps.last()["accepted"].toBool(), device["outcome"] == QJsonValue("success"));
        }
    }

  private:
    QJsonObject schema_;
    QJsonObject recordSchema_;
};

QTEST_GUILESS_MAIN(JsonContractTest)
#include "json_contract_test.moc"

// records --html as a browser shows it: headless Chromium opens the page, which must load
// without a console message and without a request leaving the file, show every figure as
// records --json gives it for the same files, and show the texts of the records (a unit id that
// is a script, a host name with markup) as text.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kProcessMs = 120000;

// The value at `path` ("ports.0.yield") in `summary`.
QJsonValue at(const QJsonObject& summary, const QString& path) {
    QJsonValue value = summary;
    for (const QString& step : path.split('.')) {
        bool index = false;
        const int n = step.toInt(&index);
        value = index ? value.toArray().at(n) : value.toObject().value(step);
    }
    return value;
}

// A text node's characters as the DOM serializer escapes them.
QString unescaped(QString text) {
    return text.replace("&lt;", "<")
        .replace("&gt;", ">")
        .replace("&nbsp;", " ")
        .replace("&amp;", "&");
}

}  // namespace

class RecordsReport : public QObject {
    Q_OBJECT

  private slots:
    void pageInABrowser() {
        const QString chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty()) {
            QSKIP(
                "chromium is not installed (Debian: apt-get install chromium; scripts/setup.sh "
                "installs it)");
        }
        QTemporaryDir dir;
        const QString page = dir.filePath("report.html");
        const QString data = QUORVEL_TEST_DATA_DIR;
        QProcess tool;
        tool.start(QUORVEL_FLASH_PATH,
                   {"records", "--json", "--html", page, data + "/records_station_a.jsonl",
                    data + "/records_station_b.jsonl", data + "/records_hostile.jsonl"});
        QVERIFY(tool.waitForFinished(kProcessMs));
        QCOMPARE(tool.exitCode(), 0);
        const QJsonObject summary =
            QJsonDocument::fromJson(tool.readAllStandardOutput()).object()["result"].toObject();
        QCOMPARE(summary["devices"].toInt(), 9);

        // Chromium's own background traffic is in the log too; the page's would be marked
        // with the file's origin.
        const QString netLog = dir.filePath("net.json");
        QProcess browser;
        browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                 "--disable-background-networking",
                                 "--user-data-dir=" + dir.filePath("profile"),
                                 "--enable-logging=stderr", "--v=0", "--log-net-log=" + netLog,
                                 "--dump-dom", QUrl::fromLocalFile(page).toString()});
        QVERIFY(browser.waitForFinished(kProcessMs));
        QCOMPARE(browser.exitCode(), 0);
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        const QString log = QString::fromUtf8(browser.readAllStandardError());
        QVERIFY2(dom.contains("Quorvel production records"), qPrintable(dom.left(500)));
        QVERIFY2(!log.contains(":CONSOLE"), qPrintable(log));
        QFile net(netLog);
        QVERIFY(net.open(QIODevice::ReadOnly));
        const QByteArray requests = net.readAll();
        QVERIFY2(!requests.contains("\"network_isolation_key\":\"file://"),
                 "the page asked for something beyond the file");

        // The records' texts are text: no element was made of them.
        QVERIFY(!dom.contains("<script"));
        QVERIFY(!dom.contains("<img"));
        QVERIFY(!dom.contains("<b>"));
        QVERIFY(dom.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));

        // Every figure shown is the one of records --json, and every row of every table has
        // its figures.
        static const QRegularExpression marked("data-figure=\"([^\"]+)\">([^<]*)<");
        QStringList shown;
        for (const QRegularExpressionMatch& m : marked.globalMatch(dom)) {
            const QString path = m.captured(1);
            const QString text = unescaped(m.captured(2));
            const QJsonValue value = at(summary, path);
            if (value.isString()) {
                QCOMPARE(text, value.toString());
            } else {
                bool number = false;
                QVERIFY2(value.isDouble(), qPrintable(path));
                QCOMPARE(text.toDouble(&number), value.toDouble());
                QVERIFY2(number, qPrintable(path + ": " + text));
            }
            shown << path;
        }
        for (const QString table : {"ports", "images", "hours", "causes"}) {
            const qsizetype rows = summary[table].toArray().size();
            QVERIFY2(rows > 0, qPrintable(table));
            for (qsizetype i = 0; i < rows; ++i) {
                const QString row = table + "." + QString::number(i);
                QVERIFY2(shown.contains(row + ".devices"), qPrintable(row));
                if (table == "causes") continue;
                // The units' yields, where the row has units first tried at it.
                for (const QString key : {"first_pass_yield", "final_yield"}) {
                    if (table == "hours" || at(summary, row + "." + key).isNull()) continue;
                    QVERIFY2(shown.contains(row + "." + key), qPrintable(row + "." + key));
                }
                // In the columns' order, as the table's head names them.
                const QStringList counts{"devices",     "success",     "failure",
                                         "interrupted", "unconfirmed", "yield"};
                QStringList columns;
                for (const QString& path : shown) {
                    const QString key = path.mid(row.size() + 1);
                    if (path.startsWith(row + ".") && counts.contains(key)) columns << key;
                }
                QCOMPARE(columns, counts);
            }
        }
        for (const QString total :
             {"devices", "success", "failure", "interrupted", "unconfirmed", "yield", "units",
              "units_written", "first_pass_yield", "final_yield", "cycle_time.median",
              "cycle_time.p90", "cycle_time.max"}) {
            QVERIFY2(shown.contains(total), qPrintable(total));
        }
    }
};

QTEST_GUILESS_MAIN(RecordsReport)
#include "records_report_test.moc"

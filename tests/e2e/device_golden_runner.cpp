// Runs one golden case of a quorvel-flash device command against the simulated loader.
//
//   e2e_device_golden CASE DATA
//
// The case file holds "args:" (the tool's arguments), "code:" (the exit code), and optionally
// "sim:" (the simulator's options), "hold: port" (another program holds the port while the
// tool runs), "flash: FILE" (the simulator's flash must equal FILE's image afterwards) and
// "heard: nothing" (no simulator received a single byte: the tool refused before sending).
// NAME.out and NAME.err beside it hold the expected standard output and error (absent means
// empty). ${DATA} stands for the test data folder and ${SLAVE} for the simulator's port, in
// the arguments and in the expected texts; JSON times are written as 0.
// With QUORVEL_GOLDEN_RECORD=1 in the environment the runner writes the texts it got as the
// new expected ones (review them before committing).
// A write to several devices starts more simulators: "sim2: OPTIONS", "sim3: ..." (options may
// be empty) start the second, third... simulator, ${SLAVE2}, ${SLAVE3}... stand for their ports
// and "flash2: FILE"... check their flash.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "image_loader.h"
#include "sim_process.h"

namespace {

struct GoldenCase {
    QStringList args;
    QStringList sim;
    int code = 0;
    bool holdPort = false;
    QString flashFile;
    bool heardNothing = false;
    QList<QStringList> moreSims;  // the options of simulator 2, 3, ...
    QStringList moreFlashFiles;   // the expected flash of simulator 2, 3, ... (empty: not checked)
};

// N of a "simN:" or "flashN:" line (N from 2 on); 0 for other lines.
int extraIndex(const QString& line, const QString& word) {
    static const QRegularExpression numbered("^([a-z]+)([0-9]+):");
    const QRegularExpressionMatch m = numbered.match(line);
    if (!m.hasMatch() || m.captured(1) != word) return 0;
    const int n = m.captured(2).toInt();
    return n >= 2 ? n : 0;
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

GoldenCase parseCase(const QString& text, const QString& data) {
    GoldenCase c;
    for (QString line : text.split('\n')) {
        line.replace("${DATA}", data);
        const QString value = line.section(':', 1).trimmed();
        if (line.startsWith("args:")) c.args = QProcess::splitCommand(value);
        if (line.startsWith("sim:")) c.sim = QProcess::splitCommand(value);
        if (line.startsWith("code:")) c.code = value.toInt();
        if (line.startsWith("hold:")) c.holdPort = value == "port";
        if (line.startsWith("flash:")) c.flashFile = value;
        if (line.startsWith("heard:")) c.heardNothing = value == "nothing";
        if (const int n = extraIndex(line, "sim")) {
            while (c.moreSims.size() < n - 1) c.moreSims.append(QStringList{});
            c.moreSims[n - 2] = QProcess::splitCommand(value);
        }
        if (const int n = extraIndex(line, "flash")) {
            while (c.moreFlashFiles.size() < n - 1) c.moreFlashFiles.append(QString{});
            c.moreFlashFiles[n - 2] = value;
        }
    }
    return c;
}

// `slaves` are the simulators' ports, the first one ${SLAVE}, then ${SLAVE2}...
QString normalised(QString text, const QString& data, const QStringList& slaves) {
    // Longest first, so that /dev/pts/1 is not taken out of /dev/pts/12.
    QList<int> order;
    for (int i = 0; i < slaves.size(); ++i) order << i;
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return slaves[a].size() > slaves[b].size(); });
    for (int i : order) {
        text.replace(slaves[i], i == 0 ? QString("${SLAVE}") : QString("${SLAVE%1}").arg(i + 1));
    }
    text.replace(data, "${DATA}");
    static const QRegularExpression times("\"(ms|total_ms)\":[0-9.]+");
    text.replace(times, "\"\\1\":0");
    static const QRegularExpression clock("\"(started|ended)\":\"[^\"]*\"");
    text.replace(clock, "\"\\1\":\"T\"");
    // Times in the progress and at the end ("17.2 s", "30.1 s left", "took 48.6 s").
    static const QRegularExpression seconds("\\b[0-9]+\\.[0-9] s\\b");
    text.replace(seconds, "#.# s");
    return text;
}

QByteArray imageOf(const QString& path) {
    quorvel::MemoryImage image;
    if (!quorvel::LoadImageFile(path.toStdString(), image).ok()) return {};
    QByteArray bytes;
    for (int16_t v : image.intMemory) bytes.append(static_cast<char>(v));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e_device_golden CASE DATA\n");
        return 64;
    }
    const QString casePath = QString::fromLocal8Bit(argv[1]);
    const QString data = QString::fromLocal8Bit(argv[2]);
    const GoldenCase golden = parseCase(readText(casePath), data);
    const QString stem = casePath.left(casePath.size() - 5);  // without ".case"

    SimProcess sim(golden.sim);
    std::vector<std::unique_ptr<SimProcess>> moreSims;
    for (const QStringList& options : golden.moreSims) {
        moreSims.push_back(std::make_unique<SimProcess>(options));
    }
    QStringList slaves{sim.slavePath()};
    for (const auto& more : moreSims) slaves << more->slavePath();
    if (!sim.started() || std::any_of(moreSims.begin(), moreSims.end(),
                                      [](const auto& m) { return !m->started(); })) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    // Another program (a terminal, say) has the port open: a plain QSerialPort, not one of ours.
    QSerialPort holder(sim.slavePath());
    if (golden.holdPort && !holder.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "could not hold the port\n");
        return 1;
    }

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_COM1", sim.slavePath());
    tool.setProcessEnvironment(env);
    QStringList args = golden.args;
    for (int i = slaves.size() - 1; i >= 1; --i) {
        args.replaceInStrings(QString("${SLAVE%1}").arg(i + 1), slaves[i]);
    }
    args.replaceInStrings("${SLAVE}", sim.slavePath());
    tool.start(flashToolPath(), args);
    tool.closeWriteChannel();
    tool.waitForFinished(120000);
    holder.close();
    sim.stop();
    for (const auto& more : moreSims) more->stop();

    QStringList failures;
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != golden.code) {
        failures << QString("exit code %1, expected %2").arg(tool.exitCode()).arg(golden.code);
    }
    QString out = normalised(QString::fromUtf8(tool.readAllStandardOutput()), data, slaves);
    QString err = normalised(QString::fromUtf8(tool.readAllStandardError()), data, slaves);
    // A simulator that drops the line ends its pseudo-terminal at about the moment the tool
    // names the port again: whether the device file is still there then is a race.
    if (golden.sim.join(' ').contains("close-after")) {
        for (QString* text : {&out, &err}) text->replace("${SLAVE} (no device there)", "${SLAVE}");
    }
    if (qEnvironmentVariableIntValue("QUORVEL_GOLDEN_RECORD") == 1) {
        for (const auto& [suffix, text] : {std::pair{".out", out}, std::pair{".err", err}}) {
            QFile file(stem + suffix);
            if (text.isEmpty()) {
                file.remove();
            } else if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                file.write(text.toUtf8());
            }
        }
    }
    const QString expectedOut = readText(stem + ".out");
    const QString expectedErr = readText(stem + ".err");
    // A table is padded to the simulator's port name, /dev/pts/5 or /dev/pts/12 as the system
    // hands them out: its columns are compared by their cells, not their widths (the tables'
    // own tests check the alignment).
    const auto cells = [](QString text) {
        static const QRegularExpression gap(" {2,}");
        return text.replace(gap, "  ");
    };
    if (cells(out) != cells(expectedOut))
        failures << "standard output:\n" + out + "expected:\n" + expectedOut;
    if (cells(err) != cells(expectedErr))
        failures << "standard error:\n" + err + "expected:\n" + expectedErr;
    if (!golden.flashFile.isEmpty() && sim.flash() != imageOf(golden.flashFile)) {
        failures << "the simulator's flash differs from the image of " + golden.flashFile;
    }
    if (golden.heardNothing) {
        QStringList heard = sim.transcript("rx ") + sim.transcript("drop ");
        for (const auto& more : moreSims)
            heard << more->transcript("rx ") << more->transcript("drop ");
        if (!heard.isEmpty()) failures << "a simulator heard the tool:\n" + heard.join('\n');
    }
    for (int i = 0; i < golden.moreFlashFiles.size() && i < int(moreSims.size()); ++i) {
        const QString& file = golden.moreFlashFiles[i];
        if (!file.isEmpty() && moreSims[size_t(i)]->flash() != imageOf(file)) {
            failures << QString("the flash of simulator %1 differs from the image of %2")
                            .arg(i + 2)
                            .arg(file);
        }
    }
    if (failures.isEmpty()) return 0;
    std::fprintf(stderr, "%s: %s\n", qPrintable(QFileInfo(casePath).baseName()),
                 qPrintable(failures.join('\n')));
    return 1;
}

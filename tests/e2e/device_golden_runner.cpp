// Runs one golden case of a quorvel-flash device command against the simulated loader.
//
//   e2e_device_golden CASE DATA
//
// The case file holds "args:" (the tool's arguments), "code:" (the exit code), and optionally
// "sim:" (the simulator's options), "hold: port" (another program holds the port while the
// tool runs) and "flash: FILE" (the simulator's flash must equal FILE's image afterwards).
// NAME.out and NAME.err beside it hold the expected standard output and error (absent means
// empty). ${DATA} stands for the test data folder and ${SLAVE} for the simulator's port, in
// the arguments and in the expected texts; JSON times are written as 0.
// With QUORVEL_GOLDEN_RECORD=1 in the environment the runner writes the texts it got as the
// new expected ones (review them before committing).

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>

#include "image_loader.h"
#include "serial_port_transport.h"
#include "sim_process.h"

namespace {

struct GoldenCase {
    QStringList args;
    QStringList sim;
    int code = 0;
    bool holdPort = false;
    QString flashFile;
};

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
    }
    return c;
}

QString normalised(QString text, const QString& data, const QString& slave) {
    text.replace(slave, "${SLAVE}");
    text.replace(data, "${DATA}");
    static const QRegularExpression times("\"(ms|total_ms)\":[0-9.]+");
    text.replace(times, "\"\\1\":0");
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
    if (!sim.started()) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    quorvel::SerialPortTransport holder;
    if (golden.holdPort && !holder.open({1, sim.slave()})) {
        std::fprintf(stderr, "could not hold the port\n");
        return 1;
    }

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_COM1", sim.slavePath());
    tool.setProcessEnvironment(env);
    QStringList args = golden.args;
    args.replaceInStrings("${SLAVE}", sim.slavePath());
    tool.start(flashToolPath(), args);
    tool.closeWriteChannel();
    tool.waitForFinished(120000);
    holder.close();
    sim.stop();

    QStringList failures;
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != golden.code) {
        failures << QString("exit code %1, expected %2").arg(tool.exitCode()).arg(golden.code);
    }
    const QString out =
        normalised(QString::fromUtf8(tool.readAllStandardOutput()), data, sim.slavePath());
    const QString err =
        normalised(QString::fromUtf8(tool.readAllStandardError()), data, sim.slavePath());
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
    if (out != expectedOut) failures << "standard output:\n" + out + "expected:\n" + expectedOut;
    if (err != expectedErr) failures << "standard error:\n" + err + "expected:\n" + expectedErr;
    if (!golden.flashFile.isEmpty() && sim.flash() != imageOf(golden.flashFile)) {
        failures << "the simulator's flash differs from the image of " + golden.flashFile;
    }
    if (failures.isEmpty()) return 0;
    std::fprintf(stderr, "%s: %s\n", qPrintable(QFileInfo(casePath).baseName()),
                 qPrintable(failures.join('\n')));
    return 1;
}

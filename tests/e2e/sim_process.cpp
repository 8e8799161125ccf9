#include "sim_process.h"

#include <QFile>

namespace {
constexpr int kStartMs = 5000;
constexpr int kStopMs = 5000;
}  // namespace

QString simulatorPath() {
    return QStringLiteral(QUORVEL_SIM_PATH);
}
QString flashToolPath() {
    return QStringLiteral(QUORVEL_FLASH_PATH);
}

SimProcess::SimProcess(const QStringList& options) {
    QStringList args = options;
    args << "--log" << dir_.filePath("sim.log") << "--dump" << dir_.filePath("flash.bin");
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(simulatorPath(), args);
    if (!process_.waitForStarted(kStartMs)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(kStartMs)) {
    }
    if (process_.canReadLine()) slave_ = QString::fromUtf8(process_.readLine()).trimmed();
}

SimProcess::~SimProcess() {
    stop();
}

void SimProcess::stop() {
    if (stopped_) return;
    stopped_ = true;
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(kStopMs)) {
            process_.kill();
            process_.waitForFinished(kStopMs);
        }
    }
}

bool SimProcess::endsByItself(int ms) {
    if (stopped_) return false;
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms);
}

QStringList SimProcess::transcript() const {
    QFile file(dir_.filePath("sim.log"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList SimProcess::transcript(const QString& prefix) const {
    QStringList matching;
    for (const QString& line : transcript()) {
        if (line.startsWith(prefix)) matching << line;
    }
    return matching;
}

QByteArray SimProcess::flash() const {
    QFile file(dir_.filePath("flash.bin"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

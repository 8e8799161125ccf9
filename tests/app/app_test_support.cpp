#include "app_test_support.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUuid>

namespace quorvel::test {

WindowSnapshot snapshot(const frmMain& window) {
    const WindowControls& c = window.controls();
    return {c.ProgressBar1->isVisibleTo(window.clientArea()), c.ProgressBar1->value(),
            window.cursor().shape() == Qt::WaitCursor,
            c.ProgressBar1->isTextVisible() ? c.ProgressBar1->format() : QString()};
}

WindowOptions testOptions(Prompt* prompt, FileChooser* chooser, const QString& directory) {
    WindowOptions options;
    options.programDirectory = directory;
    options.prompt = prompt;
    options.chooser = chooser;
    return options;
}

PromptAnswer RecordingPrompt::show(const PromptBox& box) {
    shown.push_back(box);
    seen.push_back(window ? snapshot(*window) : WindowSnapshot{});
    if (answers.empty())
        return box.buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    const PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingPrompt::open(const PromptBox& box, std::function<void(PromptAnswer)> answered) {
    shown.push_back(box);
    seen.push_back(window ? snapshot(*window) : WindowSnapshot{});
    question = std::move(answered);
}

void RecordingPrompt::withdraw() {
    if (!question) return;
    question = {};
    ++withdrawn;
}

void RecordingPrompt::answerQuestion(PromptAnswer answer) {
    const std::function<void(PromptAnswer)> answered = std::move(question);
    question = {};
    if (answered) answered(answer);
}

QString RecordingPrompt::boxes() const {
    QStringList out;
    for (const PromptBox& b : shown) {
        const QString text = QString::fromStdString(b.text);
        out << QString::fromStdString(b.title) + "/" + text.section("\r\n\r\n", 0, 0);
    }
    return out.join('|');
}

Simulator::Simulator(const QStringList& arguments) {
    const QString base =
        QDir::temp().filePath("quorvel-sim-" + QUuid::createUuid().toString(QUuid::WithoutBraces));
    dump_ = base + ".flash";
    log_ = base + ".log";
    process_.setProgram(QStringLiteral(QUORVEL_SIM));
    process_.setArguments(QStringList{"--dump", dump_, "--log", log_} + arguments);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
    }
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    qputenv("QUORVEL_COM1", path_.toLocal8Bit());
}

Simulator::~Simulator() {
    stopAndDump();
    QFile::remove(log_);
}

QByteArray Simulator::stopAndDump() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        qunsetenv("QUORVEL_COM1");
    }
    QFile file(dump_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray flash = file.readAll();
    file.remove();
    return flash;
}

QStringList Simulator::transcript() const {
    QFile file(log_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

void clickLater(int ms, const std::function<void()>& action) {
    QTimer::singleShot(ms, action);
}

}  // namespace quorvel::test

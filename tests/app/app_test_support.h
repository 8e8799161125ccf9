#pragma once
// Helpers for driving the real window headless: a prompt that records each box with what the
// window showed at that moment, and a simulated loader on a pseudo-terminal mapped to COM1.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "file_chooser.h"
#include "frm_main.h"
#include "prompt.h"

namespace quorvel::test {

struct WindowSnapshot {
    bool progressVisible = false;
    int progressValue = 0;
    bool busyPointer = false;
    QString progressText;  // the text on the bar; empty when it shows none
};

WindowSnapshot snapshot(const frmMain& window);

// A window that talks to the operator through `prompt` (and `chooser` when given), looking for
// the default image in `directory` (empty: beside the test).
WindowOptions testOptions(Prompt* prompt, FileChooser* chooser = nullptr,
                          const QString& directory = {});

class RecordingPrompt : public Prompt {
  public:
    PromptAnswer show(const PromptBox& box) override;
    // Records the box and keeps it open until the test answers it (answerQuestion).
    void open(const PromptBox& box, std::function<void(PromptAnswer)> answered) override;
    void withdraw() override;
    void answerQuestion(PromptAnswer answer);

    // "title/text" of every box, joined by "|".
    // "Title/text|Title/text" of the boxes shown, each text up to the facts a blank line sets
    // off under it (the port, the file), which tests read from `shown`.
    QString boxes() const;

    frmMain* window = nullptr;         // snapshots are taken from it when set
    std::deque<PromptAnswer> answers;  // empty: OK, or Yes to a question
    std::vector<PromptBox> shown;
    std::vector<WindowSnapshot> seen;
    std::function<void(PromptAnswer)> question;  // the open question's answer, until given
    int withdrawn = 0;                           // questions taken away unanswered
};

class ScriptedChooser : public FileChooser {
  public:
    std::string chooseImageFile() override { return path.toStdString(); }
    QString path;  // empty: the dialog is cancelled
};

// quorvel-loader-sim on a pty; COM1 points at it while it runs.
class Simulator {
  public:
    explicit Simulator(const QStringList& arguments = {});
    ~Simulator();
    bool started() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    // Stops the simulator and returns its flash (0x4000 to 0x23FFF).
    QByteArray stopAndDump();
    // The transcript lines written so far.
    QStringList transcript() const;

  private:
    QProcess process_;
    QString path_;
    QString dump_;
    QString log_;
};

// Clicks a button once the current event has been handled, so a test can queue clicks that
// land while an exchange waits.
void clickLater(int ms, const std::function<void()>& action);

}  // namespace quorvel::test

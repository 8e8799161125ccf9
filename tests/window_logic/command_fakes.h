#pragma once
// Stand-ins for the window and the loader, so that the commands run headless: a panel that
// keeps the state the commands give it, a prompt that records every box and answers from a
// script, a file chooser with a fixed answer, and exchanges that return scripted statuses.

#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "command_context.h"
#include "device_hold.h"
#include "file_chooser.h"

namespace quorvel::test {

inline ExchangeSettings portOne() {
    ExchangeSettings settings;
    settings.portNumber = 1;
    return settings;
}

class FakePanel : public Panel {
  public:
    void setEnabled(ControlId id, bool enabled) override { disabled[id] = !enabled; }
    void setExchangeLock(bool locked) override { this->locked = locked; }
    void setBusyPointer(bool busy) override { this->busy = busy; }
    void setProgressVisible(bool visible) override { progressVisible = visible; }
    void setProgressValue(int value) override;
    int progressValue() const override { return progress; }
    void setProgressText(const std::string& text) override { progressText = text; }
    void setText1(const std::string& text) override { text1 = text; }
    void setText2(const std::string& text) override { text2 = text; }
    std::string checksumStartText() const override { return startText; }
    std::string checksumStopText() const override { return stopText; }
    ExchangeSettings exchangeSettings() const override { return settings; }
    bool comListEmpty() const override { return comList.empty(); }
    void fillComList(const std::vector<std::string>& entries) override;
    void selectComEntry(int index) override { comSelected = index; }
    void checkComMenu(int index) override { comMenuChecked = index; }
    void showImageName(const std::string& fileName) override { imageName = fileName; }

    bool isEnabled(ControlId id) const;
    // Every control back as it started: enabled, unlocked, normal pointer, bar hidden.
    bool restored() const;

    std::map<ControlId, bool> disabled;
    bool locked = false;
    bool busy = false;
    bool progressVisible = false;
    int progress = 0;
    bool progressOutOfRange = false;
    std::string progressText;
    std::string text1, text2 = "Text2";
    std::string startText = "C000", stopText = "FFFF";
    ExchangeSettings settings = portOne();
    std::vector<std::string> comList;
    int comSelected = -1;
    int comMenuChecked = 3;
    std::string imageName;
};

// A box as it was shown, with what the window showed behind it at that moment.
struct ShownBox {
    PromptBox box;
    bool progressVisible;
    int progressValue;
    bool busy;
};

class ScriptedPrompt : public Prompt {
  public:
    explicit ScriptedPrompt(const FakePanel& panel) : panel_(panel) {}
    PromptAnswer show(const PromptBox& box) override;
    // Answered at once from the script: nothing runs meanwhile without an event loop.
    void open(const PromptBox& box, std::function<void(PromptAnswer)> answered) override {
        answered(show(box));
    }
    void withdraw() override {}

    std::deque<PromptAnswer> answers;  // empty: OK, or Yes to a question
    std::vector<ShownBox> shown;

  private:
    const FakePanel& panel_;
};

class FixedChooser : public FileChooser {
  public:
    std::string chooseImageFile() override {
        ++calls;
        return path;
    }
    std::string path;
    int calls = 0;
};

struct ExchangeCall {
    std::string name;  // "connect", "port", "erase", "program", "disconnect", "text", "row"
    ExchangeSettings settings;
    std::string word;
};

class FakeExchanges : public Exchanges {
  public:
    int16_t LoaderConnect(const ExchangeSettings& settings) override;
    int16_t PortCommand(const ExchangeSettings& settings) override;
    int16_t FlashErase(const ExchangeSettings& settings) override;
    int16_t FlashProgram(const ExchangeSettings& settings, const MemoryImage& image,
                         const ProgressCallback& progress) override;
    int16_t LoaderDisconnect(const ExchangeSettings& settings) override;
    int16_t TextCommand(const ExchangeSettings& settings, std::string_view word) override;
    int16_t RowWrite(const ExchangeSettings& settings, const MemoryImage& image,
                     const ProgressCallback& progress) override;
    const std::vector<UnconfirmedAnswer>& answersNotConfirmed() const override {
        static const std::vector<UnconfirmedAnswer> none;
        const bool named = unconfirmedCall.empty() || calls.back().name == unconfirmedCall;
        return named ? unconfirmed : none;
    }
    std::string portFailureText() const override { return portFailure; }
    const ExchangeDiagnostics& lastDiagnostics() const override { return diagnostics; }
    std::string portDescription(const ExchangeSettings&) const override {
        return "scripted device";
    }
    bool hasDevice(const ExchangeSettings&) const override { return deviceThere; }
    // A real hold, so that a device another writer holds refuses the rewrite as it would.
    std::string holdDevice(const ExchangeSettings& settings) override;
    void releaseDevice() override { hold_.release(); }
    bool busy() const override { return inside_; }
    void stopWhen(std::function<bool()> source) override { stopSource = std::move(source); }
    void watchAttempts(AttemptCallback watcher) override { attemptWatcher = std::move(watcher); }

    // Comma-separated names of the calls so far.
    QString callNames() const;

    std::map<std::string, int16_t> status;       // by call name; missing: 0
    bool deviceThere = true;                     // whether a device stands behind the port
    int programSteps = 120;                      // block positions the program walk reports
    std::vector<UnconfirmedAnswer> unconfirmed;  // what every exchange took unconfirmed
    std::string unconfirmedCall;                 // only this one's, when named
    std::function<void(const std::string& name)> during;  // runs inside every exchange
    std::vector<ExchangeCall> calls;
    std::function<bool()> stopSource;
    AttemptCallback attemptWatcher;
    std::string portFailure;          // what the port said, for every exchange
    ExchangeDiagnostics diagnostics;  // what every exchange saw of the device

  private:
    int16_t run(const std::string& name, const ExchangeSettings& settings,
                std::string_view word = {});
    bool inside_ = false;
    DeviceHold hold_;
};

// An image with one flagged row at 0x4000, so the rewrite has something to send.
MemoryImage imageWithData();

// Everything a command needs, wired together.
struct CommandRig {
    FakePanel panel;
    ScriptedPrompt prompt{panel};
    FakeExchanges link;
    MemoryImage image = imageWithData();
    CommandContext context{link, image, prompt, panel};

    // Titles and texts of the boxes shown, "title/text" joined by "|".
    QString boxes() const;
};

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace quorvel::test

#pragma once
// What every operator command works with: the exchanges, the image, the operator's prompt and
// the window panel, plus the exchange lock and the closing state that the commands share.

#include <functional>
#include <string>

#include "exchanges.h"
#include "image_identity.h"
#include "memory_image.h"
#include "panel.h"
#include "prompt.h"

namespace quorvel {

class CommandContext {
  public:
    CommandContext(Exchanges& exchanges, MemoryImage& image, Prompt& prompt, Panel& panel);
    ~CommandContext();
    CommandContext(const CommandContext&) = delete;
    CommandContext& operator=(const CommandContext&) = delete;

    Exchanges& link;
    MemoryImage& image;
    Panel& panel;

    // The file the image in memory came from, with its facts as they were loaded: its path is
    // empty while no file has loaded (the start-up load failed and nothing was opened since).
    // A failed load leaves them as they were, as it leaves the image.
    ImageFacts imageFacts;
    // The service history every write from the window adds its lines to (service_history.h);
    // empty: none is kept.
    std::string historyPath;
    // The file's name without its directory ("fw.mot"), as the operator's texts name it.
    std::string imageFileName() const;

    // Shows a box, unless the window is closing: then nothing is shown and the answer is
    // Cancel, so that no box outlives the window. A command shows its boxes before or after
    // its exchanges, never during one: so an open close question goes first (no write is in
    // progress any more), and so does the bar's text (a wait, the time left), which no longer
    // holds once a box tells how the command ended.
    PromptAnswer ask(const PromptBox& box);

    // The window is going away: the running exchange sends nothing after the message on the
    // line (whose answer it still waits for, so that no frame is cut in half on the wire),
    // and no command starts another exchange or shows another box.
    void close();
    bool closing() const { return closing_; }

    // The operator asked to close the window. True: nothing runs, the window closes now.
    // While an exchange runs, asks first (closing mid-write leaves the device erased and
    // partly written), No being the default, and the exchange goes on while the question is
    // open. Yes stops it between messages (close()) and calls `closeWhenIdle`: the window
    // closes once the command has ended, showing nothing more. No lets the command finish
    // with its usual box. A command that ends before the answer withdraws the question and
    // shows its box: the window stays, and closing it then asks nothing.
    bool requestClose(std::function<void()> closeWhenIdle);

    bool running() const { return holds_ > 0; }

    void hold();
    void release();

    // The settings for the next exchange, read afresh from the controls.
    ExchangeSettings settings() const { return panel.exchangeSettings(); }

  private:
    void withdrawCloseQuestion();

    Prompt& prompt_;
    int holds_ = 0;
    bool closing_ = false;
    bool closeQuestionOpen_ = false;
};

// Holds every exchange-starting control off for its lifetime. Nests: the controls come back
// when the outermost lock ends.
class ExchangeLock {
  public:
    explicit ExchangeLock(CommandContext& context) : context_(context) { context_.hold(); }
    ~ExchangeLock() { context_.release(); }
    ExchangeLock(const ExchangeLock&) = delete;
    ExchangeLock& operator=(const ExchangeLock&) = delete;

  private:
    CommandContext& context_;
};

}  // namespace quorvel

#pragma once
// What every operator command works with: the exchanges, the image, the operator's prompt and
// the window panel, plus the exchange lock and the closing state that the commands share.

#include "exchanges.h"
#include "memory_image.h"
#include "panel.h"
#include "prompt.h"

namespace quorvel {

class CommandContext {
  public:
    CommandContext(Exchanges& exchanges, MemoryImage& image, Prompt& prompt, Panel& panel)
        : link(exchanges), image(image), panel(panel), prompt_(prompt) {}

    Exchanges& link;
    MemoryImage& image;
    Panel& panel;

    // Shows a box, unless the window is closing: then nothing is shown and the answer is
    // Cancel, so that no box outlives the window.
    PromptAnswer ask(const PromptBox& box);

    // The window is going away: the running exchange ends at once and no command starts
    // another exchange or shows another box.
    void close();
    bool closing() const { return closing_; }

    // True while a command holds the exchange lock.
    bool running() const { return holds_ > 0; }

    void hold();
    void release();

    // The settings for the next exchange, read afresh from the controls.
    ExchangeSettings settings() const { return panel.exchangeSettings(); }

  private:
    Prompt& prompt_;
    int holds_ = 0;
    bool closing_ = false;
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

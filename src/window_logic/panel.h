#pragma once
// What the commands change on the window and read from it, without knowing any widget.

#include <string>
#include <vector>

#include "control_id.h"
#include "exchange_settings.h"

namespace quorvel {

constexpr int kProgressMaximum = 128;  // range of the progress bar: 0 to 128

class Panel {
  public:
    virtual ~Panel() = default;

    // The state a command gives a control; what the operator sees may in addition be held
    // off by the exchange lock.
    virtual void setEnabled(ControlId id, bool enabled) = 0;
    // While locked, every control for which startsExchange() is true is held disabled; on
    // unlock each goes back to the state last given through setEnabled.
    virtual void setExchangeLock(bool locked) = 0;

    virtual void setBusyPointer(bool busy) = 0;

    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressValue(int value) = 0;  // 0 to kProgressMaximum
    virtual int progressValue() const = 0;
    // The text on the bar (how far, how long, or what the write waits for); empty: none.
    virtual void setProgressText(const std::string& text) = 0;

    virtual void setText1(const std::string& text) = 0;  // address being sent
    virtual void setText2(const std::string& text) = 0;  // result of the port command

    virtual std::string checksumStartText() const = 0;  // txtCsStt
    virtual std::string checksumStopText() const = 0;   // txtCsStp

    // The controls an exchange reads, taken afresh at the start of each exchange.
    virtual ExchangeSettings exchangeSettings() const = 0;

    // Names the loaded image in the window's caption; empty: the caption as designed (the
    // default image, or none).
    virtual void showImageName(const std::string& fileName) = 0;

    // The COM-port list and the COM menu.
    virtual bool comListEmpty() const = 0;
    virtual void fillComList(const std::vector<std::string>& entries) = 0;  // appends
    virtual void selectComEntry(int index) = 0;
    virtual void checkComMenu(int index) = 0;  // mnuCom_Click
};

}  // namespace quorvel

#pragma once
// The commands' view of the window: switches controls, the pointer, the progress bar and the
// text boxes, and reads the controls an exchange needs.

#include <QWidget>
#include <functional>
#include <map>

#include "main_menu.h"
#include "panel.h"
#include "window_controls.h"

namespace quorvel {

// The window's caption as designed; a loaded file other than the default image is named
// after it: "Quorvel Software Writer (Version 01.02) - fw.mot".
inline constexpr const char* kWindowCaption = "Quorvel Software Writer (Version 01.02)";

class WindowPanel : public Panel {
  public:
    // `window` gets the pointer shape; `checkComMenu` runs the window's mnuCom_Click; `idle`
    // runs whenever the exchange lock is let go.
    WindowPanel(QWidget* window, const WindowControls& controls, const MainMenu& menu,
                std::function<void(int)> checkComMenu, std::function<void()> idle);

    void setEnabled(ControlId id, bool enabled) override;
    void setExchangeLock(bool locked) override;
    void setBusyPointer(bool busy) override;
    void setProgressVisible(bool visible) override;
    void setProgressValue(int value) override;
    int progressValue() const override;
    void setProgressText(const std::string& text) override;
    void setText1(const std::string& text) override;
    void setText2(const std::string& text) override;
    std::string checksumStartText() const override;
    std::string checksumStopText() const override;
    ExchangeSettings exchangeSettings() const override;
    bool comListEmpty() const override;
    void fillComList(const std::vector<std::string>& entries) override;
    void selectComEntry(int index) override;
    void checkComMenu(int index) override { checkComMenu_(index); }
    void showImageName(const std::string& fileName) override;

    // The port number every exchange uses: the selected list position + 1, 0 with none.
    int16_t GetCOM() const;
    QObject* control(ControlId id) const { return controls_.at(id); }

  private:
    void apply(ControlId id);

    QWidget* window_;
    WindowControls c_;
    std::function<void(int)> checkComMenu_;
    std::function<void()> idle_;
    const std::map<ControlId, QObject*> controls_;  // the widget or menu action of each id
    std::map<ControlId, bool> enabled_;
    bool locked_ = false;
};

}  // namespace quorvel

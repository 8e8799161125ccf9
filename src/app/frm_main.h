#pragma once
// The one window of the tool: the rewrite button, the progress bar and the COM-port list in
// view, the bench panel beyond the client area, the menu bar, and the start-up sequence.

#include <QMainWindow>
#include <memory>

#include "exchanges.h"
#include "file_chooser.h"
#include "main_menu.h"
#include "memory_image.h"
#include "prompt.h"
#include "window_controls.h"

namespace quorvel {

class Loader;
class WindowPanel;
class CommandContext;
struct WindowCommands;

struct WindowOptions {
    QString programDirectory;        // where the default image is; empty: the executable's
    Prompt* prompt = nullptr;        // nullptr: message boxes
    FileChooser* chooser = nullptr;  // nullptr: the file-open dialog
    Exchanges* exchanges = nullptr;  // nullptr: the window's own loader on the serial port
};

class frmMain : public QMainWindow {
    Q_OBJECT
  public:
    // Builds the window and runs Form_Load before returning, so that a load error is shown
    // before the window.
    explicit frmMain(const WindowOptions& options = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    const WindowControls& controls() const { return c_; }
    const MainMenu& menu() const { return menu_; }
    const MemoryImage& image() const { return image_; }
    QWidget* clientArea() const { return centralWidget(); }

    int16_t GetCOM() const;
    void mnuCom_Click(int16_t index);
    void cmbCOM_Change(int listIndex);
    void txtPinNumber_Change();

    bool exchangeRunning() const;  // CommandContext::running

  protected:
    // Closing while an exchange runs asks first (CommandContext::requestClose).
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load(const QString& programDirectory);
    // The operator chose to close: the window closes once no command runs.
    void closeWhenIdle();
    // The last command that held the exchange lock let go of it.
    void exchangesIdle();
    void connectHandlers();

    MemoryImage image_;
    std::unique_ptr<Loader> loader_;
    std::unique_ptr<Prompt> ownPrompt_;
    std::unique_ptr<FileChooser> ownChooser_;
    WindowControls c_;
    MainMenu menu_;
    std::unique_ptr<WindowPanel> panel_;
    std::unique_ptr<CommandContext> context_;
    std::unique_ptr<WindowCommands> commands_;
    bool closeWhenIdle_ = false;
};

}  // namespace quorvel

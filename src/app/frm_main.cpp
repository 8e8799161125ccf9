#include "frm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLayout>
#include <QMenuBar>

#include "app_icon.h"
#include "checksum_command.h"
#include "control_layout.h"
#include "image_file_dialog.h"
#include "image_file_open.h"
#include "loader.h"
#include "message_box_prompt.h"
#include "port_mapping.h"
#include "port_panel.h"
#include "rewrite_sequence.h"
#include "service_history.h"
#include "start_up.h"
#include "step_buttons.h"
#include "twips.h"
#include "window_fonts.h"
#include "window_panel.h"

namespace quorvel {

namespace {

const QString kAccessWord = QStringLiteral("VESPERA");

// The tooltip of the COM-port list: "COM3: /dev/ttyUSB0", "COM3: no serial device", or
// "No COM port selected" for number 0.
QString ComPortToolTip(int16_t portNumber) {
    if (portNumber <= 0) return QStringLiteral("No COM port selected");
    const PortTarget target{portNumber, {}};
    const QString name = QString::fromStdString(targetName(target));
    const std::optional<std::string> device = deviceForTarget(target);
    if (!device) return name + QStringLiteral(": no serial device");
    return name + QStringLiteral(": ") + QString::fromStdString(*device);
}

}  // namespace

// The operator commands of the window, built on one command context.
struct WindowCommands {
    WindowCommands(CommandContext& context, FileChooser& chooser)
        : rewrite(context),
          steps(context),
          portPanel(context),
          fileOpen(context, chooser, rewrite),
          checksum(context) {}

    RewriteSequence rewrite;
    StepButtons steps;
    PortPanel portPanel;
    ImageFileOpen fileOpen;
    ChecksumCommand checksum;
};

frmMain::frmMain(const WindowOptions& options, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setWindowIcon(QuorvelIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(WindowDefaultFont(font()));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);
    const qreal dpi = client->logicalDpiX();
    client->setFixedSize(twipsToPixels(kClientWidthTwips, dpi),
                         twipsToPixels(kClientHeightTwips, dpi));
    c_ = BuildControls(client, dpi);
    menuBar()->setNativeMenuBar(false);
    menu_ = BuildMainMenu(menuBar());
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    if (!options.exchanges) loader_ = std::make_unique<Loader>();
    if (!options.prompt) ownPrompt_ = std::make_unique<MessageBoxPrompt>(this);
    if (!options.chooser) ownChooser_ = std::make_unique<ImageFileDialog>(this);
    Exchanges& exchanges = options.exchanges ? *options.exchanges : *loader_;
    Prompt& prompt = options.prompt ? *options.prompt : *ownPrompt_;
    FileChooser& chooser = options.chooser ? *options.chooser : *ownChooser_;
    panel_ = std::make_unique<WindowPanel>(
        this, c_, menu_, [this](int index) { mnuCom_Click(int16_t(index)); },
        [this] { exchangesIdle(); });
    context_ = std::make_unique<CommandContext>(exchanges, image_, prompt, *panel_);
    context_->historyPath = DefaultHistoryPath();
    commands_ = std::make_unique<WindowCommands>(*context_, chooser);
    connectHandlers();

    // The keyboard starts on the big button, with its focus shown from the start rather than
    // only after the first Tab; Enter presses it as Space does.
    c_.cmdMacro[0]->setAutoDefault(true);
    c_.cmdMacro[0]->setFocus();

    Form_Load(options.programDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                                 : options.programDirectory);
}

frmMain::~frmMain() = default;

void frmMain::connectHandlers() {
    WindowCommands& cmd = *commands_;
    for (int i = 0; i < 3; ++i) {
        connect(c_.cmdMacro[size_t(i)], &QPushButton::clicked, this,
                [&cmd, i] { cmd.rewrite.cmdMacro_Click(int16_t(i)); });
    }
    for (int i = 0; i < kStepButtonCount; ++i) {
        const auto step = static_cast<StepButton>(i);
        auto* button = static_cast<QPushButton*>(panel_->control(stepEntry(step).control));
        connect(button, &QPushButton::clicked, this, [&cmd, step] { cmd.steps.Click(step); });
    }
    connect(menu_.mnuWrite, &QAction::triggered, this, [&cmd] { cmd.steps.mnuWrite_Click(); });
    connect(c_.Command2, &QPushButton::clicked, this, [&cmd] { cmd.portPanel.Command2_Click(); });
    connect(menu_.mnuOpen, &QAction::triggered, this, [&cmd] { cmd.fileOpen.mnuOpen_Click(); });
    connect(c_.cmdTavik, &QPushButton::clicked, this, [&cmd] { cmd.fileOpen.cmdTavik_Click(); });
    connect(c_.cmdCheckSum, &QPushButton::clicked, this,
            [&cmd] { cmd.checksum.cmdCheckSum_Click(); });
    connect(menu_.mnuEnd, &QAction::triggered, this, &QWidget::close);
    connect(c_.txtPinNumber, &QLineEdit::textChanged, this, [this] { txtPinNumber_Change(); });
    for (int i = 1; i <= kComMenuItems; ++i) {
        connect(menu_.mnuCom[size_t(i)], &QAction::triggered, this,
                [this, i] { mnuCom_Click(int16_t(i)); });
    }
    connect(c_.cmbCOM, &QComboBox::currentIndexChanged, this,
            [this](int index) { cmbCOM_Change(index); });
    c_.cmbCOM->installEventFilter(this);
}

void frmMain::Form_Load(const QString& programDirectory) {
    FormLoad(*context_, QFile::encodeName(programDirectory).toStdString());
}

int16_t frmMain::GetCOM() const {
    return panel_->GetCOM();
}

// The COM menu and the COM-port list are one choice of port: a pick in either shows in the
// other, so that the tick never names a port other than the one the exchanges open. The list
// is the one the exchanges read (GetCOM); while it is empty (the start-up load failed) the
// menu only moves its tick.
void frmMain::mnuCom_Click(int16_t index) {
    for (int i = 1; i <= kComMenuItems; ++i) menu_.mnuCom[size_t(i)]->setChecked(false);
    if (index >= 1 && index <= kComMenuItems) menu_.mnuCom[size_t(index)]->setChecked(true);
    if (index >= 1 && index <= c_.cmbCOM->count()) c_.cmbCOM->setCurrentIndex(index - 1);
}

// COM 11 to COM 16 have no menu item: choosing one of them leaves the menu without a tick.
void frmMain::cmbCOM_Change(int listIndex) {
    if (listIndex < 0) return;
    mnuCom_Click(int16_t(listIndex + 1));
}

void frmMain::txtPinNumber_Change() {
    c_.cmdMacro[0]->setText(c_.txtPinNumber->text() == kAccessWord
                                ? QStringLiteral("Kemla")
                                : QStringLiteral("Orrin・Dalve"));
}

bool frmMain::exchangeRunning() const {
    return context_->running();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (context_->requestClose([this] { closeWhenIdle(); })) {
        event->accept();
        return;
    }
    event->ignore();
}

void frmMain::closeWhenIdle() {
    closeWhenIdle_ = true;
    if (!exchangeRunning()) exchangesIdle();
}

void frmMain::exchangesIdle() {
    // Closed from the queue, after the command that held the lock has returned.
    if (closeWhenIdle_) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool frmMain::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // Styles draw the focus only once the keyboard has moved it; the operator of this window
    // works it by keyboard from the start, so the focus is always drawn.
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) {
        setAttribute(Qt::WA_KeyboardFocusChange);
    }
    return handled;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.cmbCOM && event->type() == QEvent::ToolTip) {
        c_.cmbCOM->setToolTip(ComPortToolTip(GetCOM()));
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace quorvel

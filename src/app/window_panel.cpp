#include "window_panel.h"

#include <algorithm>

#include "progress_bar_text.h"

namespace quorvel {

namespace {

constexpr ControlId kAllControls[] = {
    ControlId::cmdMacro0,   ControlId::cmdMacro1,   ControlId::cmdMacro2, ControlId::Frame3,
    ControlId::optVersion0, ControlId::optVersion1, ControlId::Command1,  ControlId::cmbErase,
    ControlId::cmbWrite,    ControlId::cmbEnd,      ControlId::Command11, ControlId::Command8,
    ControlId::Command9,    ControlId::Command10,   ControlId::Command4,  ControlId::Command7,
    ControlId::Command6,    ControlId::Command5,    ControlId::Command2,  ControlId::cmdTavik,
    ControlId::mnuOpen,     ControlId::mnuEnd,      ControlId::mnuWrite,  ControlId::cmbCOM,
    ControlId::mnuPort,
};

std::string narrow(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace

WindowPanel::WindowPanel(QWidget* window, const WindowControls& controls, const MainMenu& menu,
                         std::function<void(int)> checkComMenu, std::function<void()> idle)
    : window_(window),
      c_(controls),
      menu_(menu),
      checkComMenu_(std::move(checkComMenu)),
      idle_(std::move(idle)) {
    for (ControlId id : kAllControls) enabled_[id] = true;
}

void WindowPanel::setEnabled(ControlId id, bool enabled) {
    enabled_[id] = enabled;
    apply(id);
}

void WindowPanel::setExchangeLock(bool locked) {
    locked_ = locked;
    for (ControlId id : kAllControls) apply(id);
    if (!locked && idle_) idle_();
}

void WindowPanel::apply(ControlId id) {
    setControlEnabled(id, enabled_[id] && !(locked_ && startsExchange(id)));
}

void WindowPanel::setControlEnabled(ControlId id, bool on) {
    switch (id) {
        case ControlId::cmdMacro0:
            return c_.cmdMacro[0]->setEnabled(on);
        case ControlId::cmdMacro1:
            return c_.cmdMacro[1]->setEnabled(on);
        case ControlId::cmdMacro2:
            return c_.cmdMacro[2]->setEnabled(on);
        case ControlId::Frame3:
            return c_.Frame3->setEnabled(on);
        case ControlId::optVersion0:
            return c_.optVersion[0]->setEnabled(on);
        case ControlId::optVersion1:
            return c_.optVersion[1]->setEnabled(on);
        case ControlId::Command1:
            return c_.Command1->setEnabled(on);
        case ControlId::cmbErase:
            return c_.cmbErase->setEnabled(on);
        case ControlId::cmbWrite:
            return c_.cmbWrite->setEnabled(on);
        case ControlId::cmbEnd:
            return c_.cmbEnd->setEnabled(on);
        case ControlId::Command11:
            return c_.Command11->setEnabled(on);
        case ControlId::Command8:
            return c_.Command8->setEnabled(on);
        case ControlId::Command9:
            return c_.Command9->setEnabled(on);
        case ControlId::Command10:
            return c_.Command10->setEnabled(on);
        case ControlId::Command4:
            return c_.Command4->setEnabled(on);
        case ControlId::Command7:
            return c_.Command7->setEnabled(on);
        case ControlId::Command6:
            return c_.Command6->setEnabled(on);
        case ControlId::Command5:
            return c_.Command5->setEnabled(on);
        case ControlId::Command2:
            return c_.Command2->setEnabled(on);
        case ControlId::cmdTavik:
            return c_.cmdTavik->setEnabled(on);
        case ControlId::mnuOpen:
            return menu_.mnuOpen->setEnabled(on);
        case ControlId::mnuEnd:
            return menu_.mnuEnd->setEnabled(on);
        case ControlId::mnuWrite:
            return menu_.mnuWrite->setEnabled(on);
        case ControlId::cmbCOM:
            return c_.cmbCOM->setEnabled(on);
        case ControlId::mnuPort:
            return menu_.mnuPort->menuAction()->setEnabled(on);
    }
}

void WindowPanel::showImageName(const std::string& fileName) {
    const QString caption = QString::fromUtf8(kWindowCaption);
    window_->setWindowTitle(fileName.empty() ? caption
                                             : caption + QStringLiteral(" - ") +
                                                   QString::fromStdString(fileName));
}

void WindowPanel::setBusyPointer(bool busy) {
    if (busy) {
        window_->setCursor(Qt::WaitCursor);
    } else {
        window_->unsetCursor();
    }
}

void WindowPanel::setProgressVisible(bool visible) {
    c_.ProgressBar1->setVisible(visible);
}

void WindowPanel::setProgressValue(int value) {
    c_.ProgressBar1->setValue(std::clamp(value, 0, kProgressMaximum));
}

void WindowPanel::setProgressText(const std::string& text) {
    // The bar's format would read "%p", "%v" and "%m"; the texts carry a "%" only after a
    // number, followed by "," or nothing.
    ShowBarText(c_.ProgressBar1, QString::fromStdString(text));
}

int WindowPanel::progressValue() const {
    return c_.ProgressBar1->value();
}

void WindowPanel::setText1(const std::string& text) {
    c_.Text1->setText(QString::fromStdString(text));
}

void WindowPanel::setText2(const std::string& text) {
    c_.Text2->setText(QString::fromStdString(text));
}

std::string WindowPanel::checksumStartText() const {
    return narrow(c_.txtCsStt->text());
}

std::string WindowPanel::checksumStopText() const {
    return narrow(c_.txtCsStp->text());
}

int16_t WindowPanel::GetCOM() const {
    return static_cast<int16_t>(c_.cmbCOM->currentIndex() + 1);
}

ExchangeSettings WindowPanel::exchangeSettings() const {
    ExchangeSettings s;
    s.portNumber = GetCOM();
    // Each group is exclusive; read in element order, the selected element decides.
    for (int i = 0; i < 3; ++i) {
        if (c_.optBPS[static_cast<size_t>(i)]->isChecked()) s.speed = static_cast<SpeedOption>(i);
    }
    s.loader = c_.optVersion[0]->isChecked() ? LoaderGeneration::V105 : LoaderGeneration::V106;
    s.pinText = narrow(c_.txtPinNumber->text());
    for (int i = 0; i < 4; ++i) {
        if (c_.port[static_cast<size_t>(i)]->isChecked()) s.portMode = static_cast<PortMode>(i);
    }
    return s;
}

bool WindowPanel::comListEmpty() const {
    return c_.cmbCOM->count() == 0;
}

void WindowPanel::fillComList(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) c_.cmbCOM->addItem(QString::fromStdString(entry));
}

void WindowPanel::selectComEntry(int index) {
    c_.cmbCOM->setCurrentIndex(index);
}

}  // namespace quorvel

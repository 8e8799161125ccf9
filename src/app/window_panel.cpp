#include "window_panel.h"

#include <algorithm>

#include "progress_bar_text.h"

namespace quorvel {

namespace {

std::string narrow(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace

WindowPanel::WindowPanel(QWidget* window, const WindowControls& controls, const MainMenu& menu,
                         std::function<void(int)> checkComMenu, std::function<void()> idle)
    : window_(window),
      c_(controls),
      checkComMenu_(std::move(checkComMenu)),
      idle_(std::move(idle)),
      controls_{
          {ControlId::cmdMacro0, c_.cmdMacro[0]},
          {ControlId::cmdMacro1, c_.cmdMacro[1]},
          {ControlId::cmdMacro2, c_.cmdMacro[2]},
          {ControlId::Frame3, c_.Frame3},
          {ControlId::optVersion0, c_.optVersion[0]},
          {ControlId::optVersion1, c_.optVersion[1]},
          {ControlId::Command1, c_.Command1},
          {ControlId::cmbErase, c_.cmbErase},
          {ControlId::cmbWrite, c_.cmbWrite},
          {ControlId::cmbEnd, c_.cmbEnd},
          {ControlId::Command11, c_.Command11},
          {ControlId::Command8, c_.Command8},
          {ControlId::Command9, c_.Command9},
          {ControlId::Command10, c_.Command10},
          {ControlId::Command4, c_.Command4},
          {ControlId::Command7, c_.Command7},
          {ControlId::Command6, c_.Command6},
          {ControlId::Command5, c_.Command5},
          {ControlId::Command2, c_.Command2},
          {ControlId::cmdTavik, c_.cmdTavik},
          {ControlId::mnuOpen, menu.mnuOpen},
          {ControlId::mnuEnd, menu.mnuEnd},
          {ControlId::mnuWrite, menu.mnuWrite},
          {ControlId::cmbCOM, c_.cmbCOM},
          {ControlId::mnuPort, menu.mnuPort->menuAction()},
      } {
    for (const auto& [id, control] : controls_) enabled_[id] = true;
}

void WindowPanel::setEnabled(ControlId id, bool enabled) {
    enabled_[id] = enabled;
    apply(id);
}

void WindowPanel::setExchangeLock(bool locked) {
    locked_ = locked;
    for (const auto& [id, control] : controls_) apply(id);
    if (!locked && idle_) idle_();
}

void WindowPanel::apply(ControlId id) {
    const bool on = enabled_[id] && !(locked_ && startsExchange(id));
    QObject* control = controls_.at(id);
    if (auto* action = qobject_cast<QAction*>(control)) {
        action->setEnabled(on);
    } else {
        static_cast<QWidget*>(control)->setEnabled(on);
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

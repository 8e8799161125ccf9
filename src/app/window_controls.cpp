#include "window_controls.h"

#include <QHash>

#include "com_port_list.h"
#include "control_layout.h"
#include "progress_bar_text.h"
#include "twips.h"
#include "window_fonts.h"

namespace quorvel {

namespace {

QWidget* createControl(const ControlDesign& design, QWidget* parent) {
    const QString caption = QString::fromUtf8(design.caption);
    switch (design.kind) {
        case ControlKind::Button:
            return new QPushButton(caption, parent);
        case ControlKind::Label:
            return new QLabel(caption, parent);
        case ControlKind::ComboList:
            return new ComPortList(parent);  // not editable: selection only
        case ControlKind::TextBox:
            return new QLineEdit(caption, parent);
        case ControlKind::Option: {
            auto* option = new QRadioButton(caption, parent);  // exclusive within its frame
            option->setChecked(design.selected);
            return option;
        }
        case ControlKind::Frame:
            return new QGroupBox(caption, parent);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 128);
            bar->setValue(0);
            bar->setTextVisible(false);
            MakeBarTextReadable(bar);
            return bar;
        }
        case ControlKind::Drawing: {
            auto* panel = new QFrame(parent);
            panel->setFrameShape(QFrame::Panel);
            panel->setFrameShadow(QFrame::Sunken);
            return panel;
        }
    }
    return nullptr;
}

// The bench panel lies beyond the fixed client area, where the end user never sees it. A
// control not wholly inside the client area is therefore kept out of the focus chain: Tab
// must not carry the focus onto a button the user cannot see, nor Space press it there. Its
// handler stays bound.
void keepOffTheFocusChain(QWidget* control, QWidget* client, const QRect& visible) {
    const QRect placed(control->mapTo(client, QPoint(0, 0)), control->size());
    if (!visible.contains(placed)) control->setFocusPolicy(Qt::NoFocus);
}

template <typename T>
T* find(QWidget* client, const char* name) {
    return client->findChild<T*>(QString::fromUtf8(name));
}

// A control array: its elements are named "name(0)", "name(1)"...
template <typename T, size_t N>
void findArray(QWidget* client, const std::string& name, std::array<T*, N>& elements) {
    for (size_t i = 0; i < N; ++i)
        elements[i] = find<T>(client, (name + "(" + std::to_string(i) + ")").c_str());
}

}  // namespace

WindowControls BuildControls(QWidget* client, qreal logicalDpi) {
    QHash<QString, QWidget*> frames;
    const QRect visible = twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips, logicalDpi);
    for (const ControlDesign& design : controlLayout()) {
        QWidget* parent = design.parent ? frames.value(QString::fromUtf8(design.parent)) : client;
        QWidget* control = createControl(design, parent);
        control->setObjectName(QString::fromUtf8(design.name));
        control->setGeometry(
            twipsRect(design.left, design.top, design.width, design.height, logicalDpi));
        keepOffTheFocusChain(control, client, visible);
        if (design.font != ControlFont::Default) {
            control->setFont(ControlFontFor(design.font, client->font()));
        }
        // ProgressBar1 is created hidden and shown only while a rewrite runs.
        if (design.cleared || design.kind == ControlKind::ProgressBar) control->hide();
        if (design.kind == ControlKind::Frame) frames.insert(control->objectName(), control);
        // The drawing panel overlaps the edge of the button columns; keep it beneath them.
        if (design.kind == ControlKind::Drawing) control->lower();
    }

    WindowControls c;
    findArray(client, "cmdMacro", c.cmdMacro);
    findArray(client, "optBPS", c.optBPS);
    findArray(client, "optVersion", c.optVersion);
    findArray(client, "port", c.port);
    c.ProgressBar1 = find<QProgressBar>(client, "ProgressBar1");
    c.cmbCOM = find<QComboBox>(client, "cmbCOM");
    c.Frame3 = find<QGroupBox>(client, "Frame3");
    c.txtPinNumber = find<QLineEdit>(client, "txtPinNumber");
    c.Command2 = find<QPushButton>(client, "Command2");
    c.Command1 = find<QPushButton>(client, "Command1");
    c.cmbErase = find<QPushButton>(client, "cmbErase");
    c.cmbWrite = find<QPushButton>(client, "cmbWrite");
    c.cmbEnd = find<QPushButton>(client, "cmbEnd");
    c.Command11 = find<QPushButton>(client, "Command11");
    c.Command8 = find<QPushButton>(client, "Command8");
    c.Command9 = find<QPushButton>(client, "Command9");
    c.Command10 = find<QPushButton>(client, "Command10");
    c.cmdTavik = find<QPushButton>(client, "cmdTavik");
    c.Command4 = find<QPushButton>(client, "Command4");
    c.Command7 = find<QPushButton>(client, "Command7");
    c.Command6 = find<QPushButton>(client, "Command6");
    c.Command5 = find<QPushButton>(client, "Command5");
    c.cmdCheckSum = find<QPushButton>(client, "cmdCheckSum");
    c.txtCsStt = find<QLineEdit>(client, "txtCsStt");
    c.txtCsStp = find<QLineEdit>(client, "txtCsStp");
    c.Text1 = find<QLineEdit>(client, "Text1");
    c.Text2 = find<QLineEdit>(client, "Text2");
    c.txtMemory = find<QFrame>(client, "txtMemory");
    return c;
}

}  // namespace quorvel

#include "com_port_list.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QSerialPortInfo>
#include <QStyledItemDelegate>
#include <algorithm>

#include "port_description.h"

namespace quorvel {

namespace {

constexpr int kDeviceRole = Qt::UserRole + 1;

// Paints each entry of the opened list with its device beside the COM number.
class DeviceDelegate : public QStyledItemDelegate {
  public:
    DeviceDelegate(const ComPortList* list, QObject* parent)
        : QStyledItemDelegate(parent), list_(list) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = list_->popupText(index.row());
    }

  private:
    const ComPortList* list_;
};

}  // namespace

ComPortList::ComPortList(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new DeviceDelegate(this, this));
}

void ComPortList::refreshDevices() {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    int widest = width();
    const QFontMetrics metrics(font());
    for (int i = 0; i < count(); ++i) {
        setItemData(i, QString::fromStdString(describeComNumber(int16_t(i + 1), ports)),
                    kDeviceRole);
        widest = std::max(widest, metrics.horizontalAdvance(popupText(i)) + 32);
    }
    // The opened list may be wider than the closed box; the box itself keeps its size.
    view()->setMinimumWidth(widest);
}

QString ComPortList::popupText(int index) const {
    const QString device = itemData(index, kDeviceRole).toString();
    if (device.isEmpty()) return itemText(index);
    return itemText(index) + QStringLiteral("   ") + device;
}

void ComPortList::showPopup() {
    refreshDevices();
    QComboBox::showPopup();
}

}  // namespace quorvel

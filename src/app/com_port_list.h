#pragma once
// The COM-port list. Closed, it shows the selected entry as designed ("COM  1"); opened, each
// entry also names what stands behind that COM number now ("/dev/ttyUSB0, FT232R USB UART,
// serial A12345", or "no device"), looked up afresh each time the list opens, so that a
// technician sees which number the adapter got without leaving the window.

#include <QComboBox>

namespace quorvel {

class ComPortList : public QComboBox {
  public:
    explicit ComPortList(QWidget* parent = nullptr);

    // Looks up the device behind every entry's COM number (entry i is COM i + 1).
    void refreshDevices();
    // The text the opened list shows for entry `index`: "COM  1   /dev/ttyUSB0, ...".
    QString popupText(int index) const;

    void showPopup() override;
};

}  // namespace quorvel

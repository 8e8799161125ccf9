#include "port_panel.h"

namespace quorvel {

std::string PortResultText(int16_t status) {
    switch (status) {
        case 0:
            return "OK";
        case 1:
            return "NG";
        case 9:
            return "L出力";
        case 10:
            return "H出力";
        case 11:
            return "L入力";
        case 12:
            return "H入力";
        default:
            return "???";
    }
}

void PortPanel::Command2_Click() {
    Panel& panel = context_.panel;
    panel.setEnabled(ControlId::Command2, false);
    {
        ExchangeLock lock(context_);
        const int16_t status = context_.link.PortCommand(context_.settings());
        panel.setText2(PortResultText(status));
        panel.setEnabled(ControlId::Command2, true);
    }
}

}  // namespace quorvel

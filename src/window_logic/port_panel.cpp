#include "port_panel.h"

#include "text_commands.h"

namespace quorvel {

void PortPanel::Command2_Click() {
    Panel& panel = context_.panel;
    panel.setEnabled(ControlId::Command2, false);
    {
        ExchangeLock lock(context_);
        const int16_t status = context_.link.PortCommand(context_.settings());
        panel.setText2(portResultText(status));
        panel.setEnabled(ControlId::Command2, true);
    }
}

}  // namespace quorvel

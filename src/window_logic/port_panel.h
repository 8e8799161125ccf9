#pragma once
// The port-control panel's "GO" button: drive or read one pin and show the answer in Text2.

#include "command_context.h"

namespace quorvel {

class PortPanel {
  public:
    explicit PortPanel(CommandContext& context) : context_(context) {}

    void Command2_Click();

  private:
    CommandContext& context_;
};

}  // namespace quorvel

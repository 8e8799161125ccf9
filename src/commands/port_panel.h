#pragma once
// The port-control panel's "GO" button: drive or read one pin and show the answer in Text2.

#include <cstdint>
#include <string>

#include "command_context.h"

namespace quorvel {

// The text Text2 shows for a status of the port command: "OK", "NG", "L出力", "H出力",
// "L入力", "H入力", or "???" for anything else.
std::string PortResultText(int16_t status);

class PortPanel {
  public:
    explicit PortPanel(CommandContext& context) : context_(context) {}

    void Command2_Click();

  private:
    CommandContext& context_;
};

}  // namespace quorvel

#pragma once
// The "CHECK SUM" button: the sum of the image bytes from the start to the stop address typed
// in txtCsStt and txtCsStp, shown in a box.

#include "command_context.h"

namespace quorvel {

class ChecksumCommand {
  public:
    explicit ChecksumCommand(CommandContext& context) : context_(context) {}

    void cmdCheckSum_Click();

  private:
    CommandContext& context_;
};

}  // namespace quorvel

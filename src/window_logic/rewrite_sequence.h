#pragma once
// The one-button rewrite: confirm, connect, erase, program with the progress bar, disconnect,
// and report the outcome. Serves every element of the cmdMacro button array.

#include <cstdint>

#include "command_context.h"

namespace quorvel {

class RewriteSequence {
  public:
    explicit RewriteSequence(CommandContext& context) : context_(context) {}

    void cmdMacro_Click(int16_t index);

  private:
    CommandContext& context_;
};

}  // namespace quorvel

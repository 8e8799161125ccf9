#pragma once
// The facts under a write's outcome box, set off by a blank line: which file went to which port,
// and how long it took, so that the box still tells what happened once it is the only trace on
// the screen. The box's first line stays the outcome's own text.

#include <chrono>
#include <string>

#include "command_context.h"

namespace quorvel {

class WriteFacts {
  public:
    // Takes the file and the port as the write begins; the time counts from here.
    explicit WriteFacts(const CommandContext& context);

    // `boxText` followed by a blank line and "File: fw.mot", "Port: COM1 = /dev/ttyUSB0, ...",
    // "Time taken: 47.9 s".
    std::string under(const std::string& boxText) const;

  private:
    std::string file_;
    std::string port_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace quorvel

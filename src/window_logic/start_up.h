#pragma once
// What the window does once when it is created: load the default image from the program's
// directory and, when that worked, fill the COM-port list and check "COM1" in the COM menu.

#include <string>

#include "command_context.h"

namespace quorvel {

inline constexpr const char* kDefaultImageName = "QUORVEL_140428_01_02.mot";

// Returns whether the default image loaded. On failure the list stays empty and the COM menu
// keeps its design-time check mark.
bool FormLoad(CommandContext& context, const std::string& programDirectory);

}  // namespace quorvel

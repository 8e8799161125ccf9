#pragma once
// The help of quorvel-flash: the overview (--help) and each command's help (`help COMMAND`,
// `COMMAND --help`), rendered from the command, option and exit-code tables.

#include <string>
#include <string_view>

#include "cli_options.h"

namespace quorvel::cli {

// "show the version" as a sentence: "Show the version."
std::string sentence(std::string_view phrase);
// What an option does and, when only a few commands take it, which ("...; for pin").
std::string optionHelp(const OptionEntry& option);

}  // namespace quorvel::cli

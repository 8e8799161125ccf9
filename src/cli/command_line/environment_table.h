#pragma once
// The environment variables and the files that quorvel-flash reads or writes besides those
// named on its command line: the overview of the help and the man page list them from here.

#include <span>
#include <string_view>

namespace quorvel::cli {

struct EnvironmentEntry {
    std::string_view name;     // "NO_COLOR", or a file's path ("~/.pgpass")
    std::string_view meaning;  // a phrase, as the options' help
};

std::span<const EnvironmentEntry> environmentTable();
std::span<const EnvironmentEntry> filesTable();

}  // namespace quorvel::cli

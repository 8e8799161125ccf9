#pragma once
// The commands of quorvel-flash that talk to the device's flash loader: the whole rewrite
// (write) and one command per exchange.

#include <cstdio>
#include <string>

#include "cli_options.h"

namespace quorvel::cli {

bool isDeviceCommand(const std::string& command);

// `in` is where the rewrite's confirmation is read from when it is a terminal.
int runDeviceCommand(const CliOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace quorvel::cli

#pragma once
// The commands of quorvel-flash that work on an image file alone.

#include <cstdio>

#include "cli_options.h"

namespace quorvel::cli {

int runInfo(const CliOptions& options, std::FILE* out, std::FILE* err);
int runDump(const CliOptions& options, std::FILE* out, std::FILE* err);
int runChecksum(const CliOptions& options, std::FILE* out, std::FILE* err);

}  // namespace quorvel::cli

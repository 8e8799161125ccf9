#pragma once
// quorvel-flash records FILE: a record file (--record) summed up for the people on the line:
// the devices per outcome, per image and per port, then the ones not written and why.

#include <cstdio>

#include "cli_options.h"

namespace quorvel::cli {

int runRecords(const CliOptions& options, std::FILE* out, std::FILE* err);

}  // namespace quorvel::cli

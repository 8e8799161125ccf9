#pragma once

#include <cstdio>
#include <string>

namespace quorvel::cli {

void printHelp(std::FILE* out);
}  // namespace quorvel::cli

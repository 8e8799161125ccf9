#pragma once

#include <cstdio>
#include <string>

namespace quorvel::cli {

void printHelp(std::FILE* out);
// Prints the problem and the usage line; returns the usage exit code.
int usageError(std::FILE* err, const std::string& problem);

}  // namespace quorvel::cli

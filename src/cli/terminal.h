#pragma once
// The few things the command-line tool needs to know about its standard streams.

#include <cstdio>

namespace quorvel::cli {

bool isTerminal(std::FILE* stream);
void setBinaryMode(std::FILE* stream);

}  // namespace quorvel::cli

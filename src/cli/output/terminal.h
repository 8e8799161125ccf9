#pragma once
// The few things the command-line tool needs to know about its standard streams.

#include <cstdio>

namespace quorvel::cli {

bool isTerminal(std::FILE* stream);
// True when the terminal takes ANSI cursor movement (switched on first where the console needs
// it, as on Windows).
bool enableCursorMovement(std::FILE* stream);
void setBinaryMode(std::FILE* stream);

}  // namespace quorvel::cli

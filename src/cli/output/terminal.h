#pragma once
// The few things the command-line tool needs to know about its standard streams.

#include <cstdio>

namespace quorvel::cli {

// Opens /dev/null on any of the descriptors 0 to 2 that is closed (a run started with >&-), so
// that no file the tool opens later takes their place and receives its output. Call first.
void openClosedStandardStreams();

bool isTerminal(std::FILE* stream);
// True when the terminal takes ANSI cursor movement (switched on first where the console needs
// it, as on Windows).
bool enableCursorMovement(std::FILE* stream);
void setBinaryMode(std::FILE* stream);

}  // namespace quorvel::cli

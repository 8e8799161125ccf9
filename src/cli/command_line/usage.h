#pragma once

#include <cstdio>
#include <string>

namespace quorvel::cli {

void printHelp(std::FILE* out);
// Prints the problem and the usage line; returns the usage exit code.
int usageError(std::FILE* err, const std::string& problem);

// A file the command needs cannot be read or written: prints "quorvel-flash: TEXT" on `err`
// (and the JSON error object on standard output for --json) and returns the file-error code.
int fileError(std::FILE* err, const std::string& text);

}  // namespace quorvel::cli

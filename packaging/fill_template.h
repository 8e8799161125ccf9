#pragma once
// The build-time writers of the packaging: a template whose @WORDS@ are filled in from the
// command-line tool's tables.

#include <string>
#include <utility>
#include <vector>

// Reads the TEMPLATE named by argv[1], puts each value in place of its key and writes the
// result to the OUTPUT named by argv[2]. Returns the exit code for `tool`: 0, 2 when a file
// cannot be read or written or a key is missing from the template, 64 for a wrong command line.
int fillTemplate(const char* tool, int argc, char** argv,
                 const std::vector<std::pair<std::string, std::string>>& words);

#pragma once
// Why a firmware file could not be loaded, in plain words for the command line: the file and
// the reason, or the line and what is wrong with its record. The window keeps its own short
// report box; the command line prints that text first and these lines after it.

#include <cstdio>
#include <string>
#include <vector>

#include "command_result.h"
#include "image_loader.h"

namespace quorvel::cli {

// "cannot read fw.mot: no such file", "fw.mot line 3: checksum does not match (code 8)", and
// for Intel HEX that this tool cannot read, a second line on what it reads and how to convert.
std::vector<std::string> loadFailureLines(const std::string& path, const LoadResult& result);

// The file error: the window's text, then the plain lines.
CommandResult loadProblem(const std::string& path, const LoadResult& result);

}  // namespace quorvel::cli

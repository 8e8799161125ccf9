#pragma once
// A firmware file that could not be loaded, as a command's result: the window's report text,
// then the plain lines of loadFailureLines (load_failure_lines.h, shared with the window).

#include <cstdio>
#include <string>
#include <vector>

#include "command_result.h"
#include "image_loader.h"
#include "load_failure_lines.h"

namespace quorvel::cli {

// The file error: the window's text, then the plain lines.
CommandResult loadProblem(const std::string& path, const LoadResult& result);

}  // namespace quorvel::cli

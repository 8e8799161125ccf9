#pragma once
// Why a firmware file could not be loaded, in plain words: the file and the reason, or the
// line and what is wrong with its record (what the reader's error code means). The window
// puts these lines under its report box's first line ("File Open Error", "Error Code = ...");
// the command line prints that text first and these lines after it.

#include <string>
#include <vector>

#include "image_loader.h"

namespace quorvel {

// "cannot read fw.mot: no such file", "fw.mot line 3: checksum does not match (code 8)", and
// for Intel HEX that this tool cannot read, a second line on what it reads and how to convert.
std::vector<std::string> loadFailureLines(const std::string& path, const LoadResult& result);

}  // namespace quorvel

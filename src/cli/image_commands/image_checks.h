#pragma once
// What quorvel-flash says about an image file before using it: that it could not be loaded,
// that it may be cut short, and that it has rows at 0xE000 to 0xFFFF, which no write ever sends.

#include <cstdio>
#include <string>

#include "command_result.h"
#include "image_loader.h"
#include "memory_image.h"

namespace quorvel::cli {

// A file that could not be loaded, as the file error: the window's report text, then the plain
// lines of loadFailureLines (load_failure_lines.h, shared with the window).
CommandResult loadProblem(const std::string& path, const LoadResult& result);

// One warning line on `err` for each warning of the load (a file without its end record).
void warnAboutLoad(const LoadResult& loaded, std::FILE* err);

// One warning line on `err` when the image holds data at 0xE000 to 0xFFFF; nothing otherwise.
void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err);

}  // namespace quorvel::cli

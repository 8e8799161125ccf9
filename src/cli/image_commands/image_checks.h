#pragma once
// What quorvel-flash says about a loaded image before using it: rows at 0xE000 to 0xFFFF,
// which no write ever sends, and an image that leaves nothing to write at all.

#include <cstdio>
#include <string>

#include "memory_image.h"

namespace quorvel::cli {

// One warning line on `err` when the image holds data at 0xE000 to 0xFFFF; nothing otherwise.
void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err);

}  // namespace quorvel::cli

#pragma once
// What quorvel-flash says about a loaded image before using it: a file that may be cut short,
// rows at 0xE000 to 0xFFFF, which no write ever sends, and an image that leaves nothing to
// write at all.

#include <cstdio>
#include <string>

#include "image_loader.h"
#include "memory_image.h"

namespace quorvel::cli {

// One warning line on `err` for each warning of the load (a file without its end record).
void warnAboutLoad(const LoadResult& loaded, std::FILE* err);

// One warning line on `err` when the image holds data at 0xE000 to 0xFFFF; nothing otherwise.
void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err);

}  // namespace quorvel::cli

#pragma once
// How a firmware file is identified: the SHA-256 of its bytes, as lower-case hexadecimal. The
// record and the JSON carry it whole; the operator's texts show its first 12 digits beside the
// CHECK SUM, which alone cannot tell two images apart (a sum stays the same when bytes move).
// The facts are made once, when the file loads, of the bytes that were read: whatever the file
// holds by the time a write ends, the reports and records name what was written.

#include <string>
#include <string_view>
#include <vector>

#include "image_loader.h"
#include "memory_image.h"

namespace quorvel {

std::string sha256Hex(std::string_view bytes);

// How many of its digits the operator's texts show: 48 bits, which two images of a line never
// share by chance.
inline constexpr size_t kShownDigits = 12;

// The firmware file a command or the window loaded, as its questions, reports and records
// name it.
struct ImageFacts {
    std::string path;
    std::string sha256;                 // of the file's bytes as they were loaded
    std::string checksum;               // CHECK SUM of C000 to FFFF, as the window shows it
    int blocks = 0;                     // 1 KiB blocks a write sends
    std::vector<std::string> warnings;  // what its load left in doubt (a missing end record)
};

// An image with the facts of the file it was loaded from.
struct LoadedImage {
    MemoryImage image;
    ImageFacts facts;
};

// Loads the file at `path` into `image` (LoadImageFile) and, when it loaded, makes `facts`;
// on a failure both stay as they were.
LoadResult LoadImageWithFacts(const std::string& path, MemoryImage& image, ImageFacts& facts);

// "CHECK SUM C000-FFFF: 3FC000  SHA-256 5f1c0a9d7e3b", without the hash's part when none is
// known.
std::string CheckSumLine(const ImageFacts& facts);

}  // namespace quorvel

#pragma once
// The question asked before the flash is written, the same in the window and on the command
// line: the warning, then what goes where (the file, its CHECK SUM of C000 to FFFF and its
// identity, how many blocks or rows go out).

#include <string>
#include <vector>

#include "block_walk.h"
#include "image_identity.h"
#include "memory_image.h"

namespace quorvel {

inline constexpr const char* kRewriteConfirmTitle = "Rewriting of software";
// The warning's two lines.
inline constexpr const char* kRewriteConfirmLines[] = {
    "Please never turn off power while rewriting.", "Click the OK button to begin rewriting."};

// "File: fw.mot", "CHECK SUM C000-FFFF: 3FC000  SHA-256 5f1c0a9d7e3b", "Blocks to send: 88 of
// 120" (or "Rows to send: N" for the row walk of `image`), `file` naming the file of `facts`.
std::vector<std::string> RewriteFactLines(const std::string& file, const ImageFacts& facts,
                                          const MemoryImage& image, WriteWalk walk);

// "fw.mot holds data at 0xE000–0xFFFF, which is never written to the device": what the tools say
// when a file loads, and before it is written, when its image holds data there (the block walk
// leaves that range out).
std::string GapDataWarning(const std::string& file);

}  // namespace quorvel

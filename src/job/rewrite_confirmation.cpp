#include "rewrite_confirmation.h"

#include "image_identity.h"

namespace quorvel {

std::vector<std::string> RewriteFactLines(const std::string& file, const MemoryImage& image,
                                          WriteWalk walk, const std::string& sha256) {
    std::vector<std::string> lines{"File: " + file, CheckSumLine(image, sha256)};
    if (walk == WriteWalk::Rows) {
        lines.push_back("Rows to send: " + std::to_string(countRowsToSend(image)));
    } else {
        lines.push_back("Blocks to send: " + std::to_string(countBlocksToSend(image)) + " of " +
                        std::to_string(kBlockPositions));
    }
    return lines;
}

std::string GapDataWarning(const std::string& file) {
    return file + " holds data at 0xE000–0xFFFF, which is never written to the device";
}

}  // namespace quorvel

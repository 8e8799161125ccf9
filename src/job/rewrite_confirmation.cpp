#include "rewrite_confirmation.h"

namespace quorvel {

std::vector<std::string> RewriteFactLines(const std::string& file, const ImageFacts& facts,
                                          const MemoryImage& image, WriteWalk walk) {
    std::vector<std::string> lines{"File: " + file, CheckSumLine(facts)};
    if (walk == WriteWalk::Rows) {
        lines.push_back("Rows to send: " + std::to_string(countRowsToSend(image)));
    } else {
        lines.push_back("Blocks to send: " + std::to_string(facts.blocks) + " of " +
                        std::to_string(kBlockPositions));
    }
    return lines;
}

std::string GapDataWarning(const std::string& file) {
    return file + " holds data at 0xE000–0xFFFF, which is never written to the device";
}

}  // namespace quorvel

#include "rewrite_confirmation.h"

#include "range_checksum.h"

namespace quorvel {

std::vector<std::string> RewriteFactLines(const std::string& file, const MemoryImage& image,
                                          WriteWalk walk) {
    std::vector<std::string> lines{
        "File: " + file, "CHECK SUM C000-FFFF: " + RangeChecksum(image, "C000", "FFFF").text};
    if (walk == WriteWalk::Rows) {
        lines.push_back("Rows to send: " + std::to_string(countRowsToSend(image)));
    } else {
        lines.push_back("Blocks to send: " + std::to_string(countBlocksToSend(image)) + " of " +
                        std::to_string(kBlockPositions));
    }
    return lines;
}

}  // namespace quorvel

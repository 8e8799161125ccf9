#include "image_commands.h"

#include <string>
#include <vector>

#include "block_walk.h"
#include "image_checks.h"
#include "image_loader.h"
#include "range_checksum.h"
#include "terminal.h"
#include "usage.h"

namespace quorvel::cli {
namespace {

// Loads the file named by the first argument; on failure prints the load's report.
bool loadFromArgs(const CliOptions& options, MemoryImage& image, std::FILE* err) {
    const LoadResult loaded = LoadImageFile(options.args[0], image);
    if (!loaded.ok()) {
        std::fprintf(err, "%s\n", loaded.message().c_str());
        return false;
    }
    return true;
}

std::string hexAddress(uint32_t a) {
    std::string s = toUpperHex(a);
    return std::string(s.size() < 6 ? 6 - s.size() : 0, '0') + s;
}

}  // namespace

int runInfo(const CliOptions& options, std::FILE* out, std::FILE* err) {
    if (options.args.size() != 1) return usageError(err, "info takes one FILE");
    MemoryImage image;
    if (!loadFromArgs(options, image, err)) return kExitFileError;
    warnAboutGapData(options.args[0], image, err);

    std::fprintf(out, "File: %s\n", options.args[0].c_str());
    int flaggedRows = 0;
    std::fprintf(out, "Loaded rows:\n");
    for (int row = kFirstRow; row <= kLastRow; ++row) {
        if (!image.rowFlagged(row)) continue;
        int last = row;
        while (last < kLastRow && image.rowFlagged(last + 1)) ++last;
        std::fprintf(out, "  %s-%s\n", hexAddress(static_cast<uint32_t>(row) * 16).c_str(),
                     hexAddress(static_cast<uint32_t>(last) * 16 + 15).c_str());
        flaggedRows += last - row + 1;
        row = last;
    }
    if (flaggedRows == 0) std::fprintf(out, "  (none)\n");
    std::fprintf(out, "Rows with data: %d\n", flaggedRows);
    std::fprintf(out, "Blocks to send: %d of %d\n", countBlocksToSend(image), kBlockPositions);
    const ChecksumResult sum = RangeChecksum(image, "C000", "FFFF");
    std::fprintf(out, "Check sum C000-FFFF: %s\n", sum.text.c_str());
    return kExitOk;
}

int runDump(const CliOptions& options, std::FILE* out, std::FILE* err) {
    if (options.args.size() != 1) return usageError(err, "dump takes one FILE");
    if (isTerminal(out)) {
        std::fprintf(err,
                     "quorvel-flash: refusing to write binary data to a terminal; "
                     "redirect the output to a file\n");
        return kExitUsage;
    }
    MemoryImage image;
    if (!loadFromArgs(options, image, err)) return kExitFileError;
    std::vector<unsigned char> bytes(image.intMemory.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(image.intMemory[i]);
    setBinaryMode(out);
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) {
        std::fprintf(err, "quorvel-flash: could not write the image to standard output\n");
        return kExitFileError;
    }
    return kExitOk;
}

int runChecksum(const CliOptions& options, std::FILE* out, std::FILE* err) {
    if (options.args.size() != 1 && options.args.size() != 3) {
        return usageError(err, "checksum takes FILE [START STOP]");
    }
    MemoryImage image;
    if (!loadFromArgs(options, image, err)) return kExitFileError;
    const std::string start = options.args.size() == 3 ? options.args[1] : "C000";
    const std::string stop = options.args.size() == 3 ? options.args[2] : "FFFF";
    const ChecksumResult sum = RangeChecksum(image, start, stop);
    if (!sum.ok) {
        std::fprintf(err, "quorvel-flash: %s\n", sum.error.c_str());
        return kExitUsage;
    }
    std::fprintf(out, "%s\n", sum.text.c_str());
    return kExitOk;
}

}  // namespace quorvel::cli

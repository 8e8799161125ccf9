#include "image_commands.h"

#include <string>
#include <vector>

#include "block_walk.h"
#include "hex_text.h"
#include "image_checks.h"
#include "image_loader.h"
#include "json_run.h"
#include "json_text.h"
#include "load_failure_text.h"
#include "range_checksum.h"
#include "terminal.h"
#include "usage.h"

namespace quorvel::cli {
namespace {

// Loads the file named by the first argument; on failure prints the load's report (and the
// JSON error object for --json).
bool loadFromArgs(const CliOptions& options, MemoryImage& image, std::FILE* err) {
    const std::string& path = options.args[0];
    std::string bytes;
    const LoadResult loaded = LoadImageFile(path, image, &bytes);
    if (!loaded.ok()) {
        reportLoadFailure(err, path, loaded);
        return false;
    }
    noteLoadedBytes(path, bytes);
    return true;
}

// The rows that hold data, as runs of addresses.
struct Range {
    uint32_t first;
    uint32_t last;
};
std::vector<Range> loadedRanges(const MemoryImage& image) {
    std::vector<Range> ranges;
    for (int row = kFirstRow; row <= kLastRow; ++row) {
        if (!image.rowFlagged(row)) continue;
        int last = row;
        while (last < kLastRow && image.rowFlagged(last + 1)) ++last;
        ranges.push_back({static_cast<uint32_t>(row) * 16, static_cast<uint32_t>(last) * 16 + 15});
        row = last;
    }
    return ranges;
}

// A successful image command's JSON object.
int printImageRun(std::FILE* out, const CliOptions& options, const MemoryImage& image,
                  std::string result) {
    RunReport report;
    report.outcome = "success";
    report.result = std::move(result);
    report.image = imageFacts(options.args[0], image);
    return printRun(out, report);
}

// The command line also takes addresses written as 0x4000, which the CHECK SUM box would read
// as 0.
std::string withoutHexPrefix(const std::string& text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return text.substr(2);
    }
    return text;
}

std::string hexAddress(uint32_t a) {
    std::string s = toUpperHex(a);
    return std::string(s.size() < 6 ? 6 - s.size() : 0, '0') + s;
}

}  // namespace

int runInfo(const CliOptions& options, std::FILE* out, std::FILE* err) {
    MemoryImage image;
    if (!loadFromArgs(options, image, err)) return kExitFileError;
    warnAboutGapData(options.args[0], image, err);

    const std::vector<Range> ranges = loadedRanges(image);
    int flaggedRows = 0;
    for (const Range& r : ranges) flaggedRows += static_cast<int>((r.last - r.first + 1) / 16);
    const ChecksumResult sum = RangeChecksum(image, "C000", "FFFF");
    if (jsonRun()) {
        std::string list;
        for (const Range& r : ranges) {
            list += (list.empty() ? "" : ",") + std::string("{\"first\":\"0x") +
                    hexAddress(r.first) + "\",\"last\":\"0x" + hexAddress(r.last) + "\"}";
        }
        return printImageRun(out, options, image,
                             "{\"ranges\":[" + list + "],\"rows\":" + std::to_string(flaggedRows) +
                                 ",\"blocks\":" + std::to_string(countBlocksToSend(image)) +
                                 ",\"checksum\":" + jsonString(sum.text) + "}");
    }
    std::fprintf(out, "File: %s\n", options.args[0].c_str());
    std::fprintf(out, "Loaded rows:\n");
    for (const Range& r : ranges) {
        std::fprintf(out, "  %s-%s\n", hexAddress(r.first).c_str(), hexAddress(r.last).c_str());
    }
    if (flaggedRows == 0) std::fprintf(out, "  (none)\n");
    std::fprintf(out, "Rows with data: %d\n", flaggedRows);
    std::fprintf(out, "Blocks to send: %d of %d\n", countBlocksToSend(image), kBlockPositions);
    std::fprintf(out, "Check sum C000-FFFF: %s\n", sum.text.c_str());
    return kExitOk;
}

int runDump(const CliOptions& options, std::FILE* out, std::FILE* err) {
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
    const std::string start = options.args.size() == 3 ? withoutHexPrefix(options.args[1]) : "C000";
    const std::string stop = options.args.size() == 3 ? withoutHexPrefix(options.args[2]) : "FFFF";
    // The box sums nothing then and shows 0; here it is a mistake in the arguments.
    if (readHexLenient(stop).value < readHexLenient(start).value) {
        return usageError(err, "checksum: the stop address " + options.args[2] +
                                   " is below the start address " + options.args[1]);
    }
    MemoryImage image;
    if (!loadFromArgs(options, image, err)) return kExitFileError;
    const ChecksumResult sum = RangeChecksum(image, start, stop);
    if (!sum.ok) return usageError(err, sum.error);
    if (jsonRun()) return printImageRun(out, options, image, jsonString(sum.text));
    std::fprintf(out, "%s\n", sum.text.c_str());
    return kExitOk;
}

}  // namespace quorvel::cli

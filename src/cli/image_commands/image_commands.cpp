#include <optional>
#include <string>
#include <vector>

#include "block_walk.h"
#include "command_actions.h"
#include "diagnosis.h"
#include "hex_text.h"
#include "image_checks.h"
#include "image_identity.h"
#include "image_loader.h"
#include "json_run.h"
#include "range_checksum.h"
#include "terminal.h"

namespace quorvel::cli {
namespace {

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

// A successful image command's result.
CommandResult imageResult(const CliOptions& options, const ImageFacts& facts, QJsonValue answer,
                          std::vector<std::string> text) {
    CommandResult r;
    r.result = std::move(answer);
    // Only the JSON report shows the image's facts.
    if (options.json) r.image = facts;
    r.text = std::move(text);
    return r;
}

// The command line also takes addresses written as 0x4000, which the CHECK SUM box would read
// as 0.
std::string withoutHexPrefix(const std::string& text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return text.substr(2);
    }
    return text;
}

// "004000", as the loaded rows are listed.
std::string hexAddress(uint32_t a) {
    return byteAddress(a).substr(2);
}

}  // namespace

CommandResult runInfo(const CliOptions& options, std::FILE*, std::FILE*, std::FILE* err) {
    LoadedImage loaded;
    if (auto failed = loadFromArgs(options, loaded, err)) return *failed;
    const MemoryImage& image = loaded.image;
    warnAboutGapData(options.args[0], image, err);

    const std::vector<Range> ranges = loadedRanges(image);
    int flaggedRows = 0;
    for (const Range& r : ranges) flaggedRows += static_cast<int>((r.last - r.first + 1) / 16);
    QJsonArray list;
    std::vector<std::string> text{"File: " + options.args[0], "Loaded rows:"};
    for (const Range& r : ranges) {
        list.append(QJsonObject{{"first", jsonText(byteAddress(r.first))},
                                {"last", jsonText(byteAddress(r.last))}});
        text.push_back("  " + hexAddress(r.first) + "-" + hexAddress(r.last));
    }
    if (flaggedRows == 0) text.push_back("  (none)");
    text.push_back("Rows with data: " + std::to_string(flaggedRows));
    text.push_back("Blocks to send: " + std::to_string(loaded.facts.blocks) + " of " +
                   std::to_string(kBlockPositions));
    text.push_back(CheckSumLine(loaded.facts));
    return imageResult(options, loaded.facts,
                       QJsonObject{{"ranges", list},
                                   {"rows", flaggedRows},
                                   {"blocks", loaded.facts.blocks},
                                   {"checksum", jsonText(loaded.facts.checksum)}},
                       std::move(text));
}

CommandResult runDump(const CliOptions& options, std::FILE*, std::FILE* out, std::FILE*) {
    if (isTerminal(out)) {
        CommandResult r = usageProblem("");
        r.notes = {
            "quorvel-flash: refusing to write binary data to a terminal; redirect the output to a "
            "file"};
        return r;
    }
    // Only the bytes: a dump names no facts, and the hash would cost more than the rest of it.
    MemoryImage image;
    const LoadResult load = LoadImageFile(options.args[0], image);
    if (!load.ok()) return loadProblem(options.args[0], load);
    std::vector<unsigned char> bytes(image.intMemory.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(image.intMemory[i]);
    setBinaryMode(out);
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) {
        return fileProblem("could not write the image to standard output");
    }
    return {};
}

CommandResult runChecksum(const CliOptions& options, std::FILE*, std::FILE*, std::FILE*) {
    const std::string start = options.args.size() == 3 ? withoutHexPrefix(options.args[1]) : "C000";
    const std::string stop = options.args.size() == 3 ? withoutHexPrefix(options.args[2]) : "FFFF";
    // The box sums nothing then and shows 0; here it is a mistake in the arguments.
    if (readHexLenient(stop).value < readHexLenient(start).value) {
        return usageProblem("checksum: the stop address " + options.args[2] +
                            " is below the start address " + options.args[1]);
    }
    LoadedImage loaded;
    if (auto failed = loadFromArgs(options, loaded)) return *failed;
    const ChecksumResult sum = RangeChecksum(loaded.image, start, stop);
    if (!sum.ok) return usageProblem(sum.error);
    return imageResult(options, loaded.facts, jsonText(sum.text), {sum.text});
}

}  // namespace quorvel::cli

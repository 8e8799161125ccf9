#include "image_checks.h"

#include "block_walk.h"
#include "load_failure_lines.h"
#include "rewrite_confirmation.h"
#include "station_profile.h"
#include "text_out.h"

namespace quorvel::cli {

CommandResult loadProblem(const std::string& path, const LoadResult& result) {
    const std::vector<std::string> lines = loadFailureLines(path, result);
    CommandResult r = fileProblem(lines.front());
    r.notes = {result.message()};
    for (const std::string& line : lines) r.note(line);
    return r;
}

std::optional<CommandResult> loadFromArgs(const CliOptions& options, LoadedImage& loaded,
                                          std::FILE* warnTo) {
    const std::string& path = options.args[0];
    const LoadResult load = LoadImageWithFacts(path, loaded.image, loaded.facts);
    if (!load.ok()) return loadProblem(path, load);
    for (const std::string& warning : load.warnings) {
        if (warnTo != nullptr) writeLine(warnTo, "quorvel-flash: warning: " + warning);
    }
    return std::nullopt;
}

void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err) {
    if (!gapHoldsData(image)) return;
    writeLine(err, "quorvel-flash: warning: " + GapDataWarning(path));
}

std::optional<CommandResult> loadImageToSend(const Command& command, const CliOptions& options,
                                             LoadedImage& loaded, std::FILE* err) {
    if (auto failed = loadFromArgs(options, loaded, err)) return failed;
    // The profile names the images its line may write: any other is refused here, on every
    // path a write takes.
    const std::string refusal = unapprovedImage(options, loaded.facts.sha256);
    if (!refusal.empty()) return cancelled(refusal + "; nothing was sent", loaded.facts);
    // Write would erase the device and send nothing after it, program and row-write would send
    // nothing and still report success.
    const FlashWrite writes = command.work.writes;
    if (writes == FlashWrite::Rewrite || writes == FlashWrite::Blocks) {
        warnAboutGapData(options.args[0], loaded.image, err);
        if (!HasDataToWrite(loaded.image, WriteWalk::Blocks)) {
            return fileProblem("no data to write in 0x4000–0xDFFF or 0x10000–0x23FFF");
        }
    } else if (writes == FlashWrite::Rows && !HasDataToWrite(loaded.image, WriteWalk::Rows)) {
        return fileProblem("no data to write in 0x4000–0x23FFF");
    }
    return std::nullopt;
}

}  // namespace quorvel::cli

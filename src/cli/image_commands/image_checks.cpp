#include "image_checks.h"

#include "block_walk.h"
#include "load_failure_lines.h"
#include "rewrite_confirmation.h"
#include "text_out.h"

namespace quorvel::cli {

CommandResult loadProblem(const std::string& path, const LoadResult& result) {
    const std::vector<std::string> lines = loadFailureLines(path, result);
    CommandResult r = fileProblem(lines.front());
    r.notes = {result.message()};
    for (const std::string& line : lines) r.note(line);
    return r;
}

void warnAboutLoad(const LoadResult& loaded, std::FILE* err) {
    for (const std::string& warning : loaded.warnings) {
        writeLine(err, "quorvel-flash: warning: " + warning);
    }
}

void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err) {
    if (!gapHoldsData(image)) return;
    writeLine(err, "quorvel-flash: warning: " + GapDataWarning(path));
}

}  // namespace quorvel::cli

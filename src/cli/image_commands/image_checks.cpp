#include "image_checks.h"

#include "block_walk.h"
#include "rewrite_confirmation.h"
#include "text_out.h"

namespace quorvel::cli {

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

#include "image_checks.h"

#include "block_walk.h"

namespace quorvel::cli {

void warnAboutLoad(const LoadResult& loaded, std::FILE* err) {
    for (const std::string& warning : loaded.warnings) {
        std::fprintf(err, "quorvel-flash: warning: %s\n", warning.c_str());
    }
}

void warnAboutGapData(const std::string& path, const MemoryImage& image, std::FILE* err) {
    if (!gapHoldsData(image)) return;
    std::fprintf(err,
                 "quorvel-flash: warning: %s holds data at 0xE000–0xFFFF, which is never "
                 "written to the device\n",
                 path.c_str());
}

}  // namespace quorvel::cli

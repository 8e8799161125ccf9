// One line through one reader (READER_UNDER_TEST is ReadMotLine or ReadHexLine).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image_invariants.h"
#include "line_reader.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MemoryImage cleared = [] {
        MemoryImage image;
        image.ClearImage();
        return image;
    }();
    MemoryImage image = cleared;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    FileTally tally;
    const LineOutcome outcome = READER_UNDER_TEST(image, line, tally);
    switch (outcome) {
        case LineOutcome::Accepted:
            fuzz::require(image.intErrCode == 0);
            fuzz::checkLoadedImage(image);
            break;
        case LineOutcome::Rejected:
        case LineOutcome::OutsideImage:
            // A refused line stores nothing.
            fuzz::require(image.intMemory == cleared.intMemory);
            fuzz::require(image.blnRowData == cleared.blnRowData);
            fuzz::require((outcome == LineOutcome::Rejected) == (image.intErrCode != 0));
            break;
    }
    return 0;
}

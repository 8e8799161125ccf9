// A whole file through the load sequence. The first input byte picks the reader (even: S-record,
// odd: Intel HEX); the rest is the file's text.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image_invariants.h"
#include "image_loader.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const LineReader reader = (data[0] & 1) ? &ReadHexLine : &ReadMotLine;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    static MemoryImage previous = [] {
        MemoryImage image;
        image.ClearImage();
        image.setValue(2000, 3, 0x5A);
        image.flagRow(2000);
        return image;
    }();
    MemoryImage image = previous;
    const LoadResult result = LoadImageText(text, reader, image);
    if (result.ok()) {
        fuzz::checkLoadedImage(image);
        fuzz::require(result.warnings.size() <= 1);
    } else {
        fuzz::require(image == previous);  // a failed load changes nothing
        if (result.kind == LoadResult::Kind::LineRejected) {
            fuzz::require(result.line >= 1);
            const int16_t c = result.code;
            fuzz::require(c == 1 || c == 2 || c == 3 || c == 4 || c == 5 || c == 8 || c == 9 ||
                          c == 10 || c == 11);
            fuzz::require(reader == &ReadHexLine || c == 3 || c == 8 || c == 9 || c == 11);
            fuzz::require(reader == &ReadMotLine || c != 11);
            fuzz::require(c != 11 || result.countSays != result.dataRecords);
        }
    }
    return 0;
}

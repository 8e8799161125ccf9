#pragma once
// Reading a whole firmware file into the image.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image_file_read.h"
#include "line_reader.h"
#include "memory_image.h"

namespace quorvel {

struct LoadResult {
    enum class Kind { Loaded, LineRejected, FileError };
    Kind kind = Kind::Loaded;
    int16_t code = 0;  // reader code when kind is LineRejected
    int32_t line = 0;  // 1-based number of the rejected line, or of the record outside the image
    // Why a file error happened: the file could not be read (see image_file_read.h), or, with
    // FileReadFailure::None, a record at `line` addressed data outside the image.
    FileReadFailure readFailure = FileReadFailure::None;
    // With kCodeCountDisagrees: the count the record gave, and the data records before it.
    uint32_t countSays = 0;
    uint32_t dataRecords = 0;
    // What a file that loaded leaves in doubt, one sentence each that names the file: today
    // only a missing end record, the mark of a file cut short at a line end.
    std::vector<std::string> warnings;

    bool ok() const { return kind == Kind::Loaded; }
    // Texts of the report box: "Error" / "Error Code = 8 ; 行番号 = 12", or
    // "ERROR" / "File Open Error".
    std::string title() const;
    std::string message() const;
};

// Intel HEX when the last three characters of the path are "hex" in any case, otherwise S-record.
LineReader readerForPath(std::string_view path);

// Reads the file into a fresh image (cleared to FF) and replaces `image` only when every line
// was accepted; on any failure `image` stays exactly as it was. Lines end at CR, CR LF or LF.
// What is not a regular file, or is larger than any firmware file (image_file_read.h), is a
// file error before anything is read.
// With `text`, that receives the bytes that were read (also when a line was refused).
LoadResult LoadImageFile(const std::string& path, MemoryImage& image, std::string* text = nullptr);

// The same on text already in memory (used by the file load, tests and fuzzing); `name` is
// the file the warnings name.
LoadResult LoadImageText(std::string_view text, LineReader reader, MemoryImage& image,
                         std::string_view name = "the file");

}  // namespace quorvel

#include "image_loader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image_file_read.h"

namespace quorvel {

std::string LoadResult::title() const {
    return kind == Kind::LineRejected ? "Error" : "ERROR";
}

std::string LoadResult::message() const {
    switch (kind) {
        case Kind::Loaded:
            return {};
        case Kind::LineRejected:
            return "Error Code = " + std::to_string(code) + " ; 行番号 = " + std::to_string(line);
        case Kind::FileError:
            break;
    }
    return "File Open Error";
}

LineReader readerForPath(std::string_view path) {
    // Setting bit 5 folds exactly "H", "E" and "X" to their lower case.
    const bool hex =
        path.size() >= 3 && std::equal(path.end() - 3, path.end(), "hex",
                                       [](char c, char lower) { return (c | 0x20) == lower; });
    return hex ? &ReadHexLine : &ReadMotLine;
}

LoadResult LoadImageText(std::string_view text, LineReader reader, MemoryImage& image,
                         std::string_view name) {
    MemoryImage fresh;
    fresh.ClearImage();
    FileTally tally;
    LoadResult result;
    int32_t lineNumber = 0;
    const char* pos = text.data();
    const char* const end = pos + text.size();
    while (pos < end) {
        // A line ends at the first CR or LF; CR LF counts as one terminator.
        const char* lf =
            static_cast<const char*>(std::memchr(pos, '\n', static_cast<size_t>(end - pos)));
        const char* stop = lf ? lf : end;
        const char* cr =
            static_cast<const char*>(std::memchr(pos, '\r', static_cast<size_t>(stop - pos)));
        const char* lineEnd = cr ? cr : stop;
        const std::string_view line(pos, static_cast<size_t>(lineEnd - pos));
        if (cr) {
            pos = (cr + 1 == lf) ? lf + 1 : cr + 1;
        } else {
            pos = lf ? lf + 1 : end;
        }

        const LineOutcome outcome = reader(fresh, line, tally);
        ++lineNumber;
        if (outcome == LineOutcome::Rejected) {
            result.kind = LoadResult::Kind::LineRejected;
            result.code = fresh.intErrCode;
            result.line = lineNumber;
            if (result.code == kCodeCountDisagrees) {
                result.countSays = tally.countRecordSays;
                result.dataRecords = tally.dataRecords;
            }
            return result;
        }
        if (outcome == LineOutcome::OutsideImage) {
            result.kind = LoadResult::Kind::FileError;
            result.line = lineNumber;
            return result;
        }
    }
    // A file cut at a line end loads without a complaint from any line; only its missing end
    // record tells, or a count record that every data record before it agrees with (tools
    // that write S2 records with an S5 count may leave the end record out). The image is still
    // what the lines gave: the warning leaves the choice to whoever writes it to a device.
    if (!tally.endRecord && !tally.countAgrees) {
        const bool hex = reader == &ReadHexLine;
        result.warnings.push_back(
            std::string(name) +
            (hex ? " has no end-of-file record (type 01)" : " has no end record (S7, S8 or S9)") +
            ": the file may be cut short");
    }
    image = std::move(fresh);
    return result;
}

LoadResult LoadImageFile(const std::string& path, MemoryImage& image, std::string* kept) {
    std::string text;
    LoadResult failed;
    failed.kind = LoadResult::Kind::FileError;
    try {
        if (!readImageFileText(path, text, kLargestImageFile, &failed.readFailure)) return failed;
    } catch (const std::bad_alloc&) {
        // A file too large to hold is reported like one that cannot be read.
        failed.readFailure = FileReadFailure::Unreadable;
        return failed;
    }
    LoadResult result = LoadImageText(text, readerForPath(path), image, path);
    if (kept != nullptr) *kept = std::move(text);
    return result;
}

}  // namespace quorvel

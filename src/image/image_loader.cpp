#include "image_loader.h"

#include <cstdio>
#include <memory>

namespace quorvel {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool readWholeFile(const std::string& path, std::string& out) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    char chunk[1 << 16];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        out.append(chunk, got);
        if (got < sizeof chunk) break;
    }
    return std::ferror(file.get()) == 0;
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string LoadResult::title() const { return kind == Kind::LineRejected ? "Error" : "ERROR"; }

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
    if (path.size() >= 3) {
        const std::string_view tail = path.substr(path.size() - 3);
        if (upper(tail[0]) == 'H' && upper(tail[1]) == 'E' && upper(tail[2]) == 'X') {
            return &ReadHexLine;
        }
    }
    return &ReadMotLine;
}

LoadResult LoadImageText(std::string_view text, LineReader reader, MemoryImage& image) {
    MemoryImage fresh;
    fresh.ClearImage();
    LoadResult result;
    int32_t lineNumber = 0;
    size_t pos = 0;
    const size_t size = text.size();
    while (pos < size) {
        size_t end = pos;
        while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
        const std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < size) pos += (text[pos] == '\r' && pos + 1 < size && text[pos + 1] == '\n') ? 2 : 1;

        const LineOutcome outcome = reader(fresh, line);
        ++lineNumber;
        if (outcome == LineOutcome::Rejected) {
            result.kind = LoadResult::Kind::LineRejected;
            result.code = fresh.intErrCode;
            result.line = lineNumber;
            return result;
        }
        if (outcome == LineOutcome::OutsideImage) {
            result.kind = LoadResult::Kind::FileError;
            return result;
        }
    }
    image = std::move(fresh);
    return result;
}

LoadResult LoadImageFile(const std::string& path, MemoryImage& image) {
    std::string text;
    if (!readWholeFile(path, text)) {
        LoadResult failed;
        failed.kind = LoadResult::Kind::FileError;
        return failed;
    }
    return LoadImageText(text, readerForPath(path), image);
}

}  // namespace quorvel

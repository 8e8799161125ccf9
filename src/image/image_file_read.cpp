#include "image_file_read.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "safe_file.h"

namespace quorvel {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool readImageFileText(const std::string& path, std::string& out, std::uintmax_t limit,
                       FileReadFailure* why) {
    out.clear();
    const auto fail = [&](FileReadFailure failure) {
        out.clear();
        if (why != nullptr) *why = failure;
        return false;
    };
    if (why != nullptr) *why = FileReadFailure::None;
    // Opened first and judged on what was opened: a FIFO put in the file's place can neither
    // hang the tool nor be read as the image.
    const OpenedFile opened = openFileForReading(path);
    if (opened.fd < 0) {
        switch (opened.error) {
            case ENOENT:
                return fail(FileReadFailure::Missing);
            case EISDIR:
                return fail(FileReadFailure::Directory);
            case ENXIO:
                return fail(FileReadFailure::NotRegular);
            default:
                return fail(FileReadFailure::Unreadable);
        }
    }
    std::unique_ptr<std::FILE, FileCloser> file(streamOf(opened.fd, "rb"));
    if (!file) return fail(FileReadFailure::Unreadable);
    char chunk[1 << 16];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        // The read stops at the limit, however long the file is or becomes.
        if (got > limit - out.size()) return fail(FileReadFailure::TooLarge);
        out.append(chunk, got);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(file.get()) != 0) return fail(FileReadFailure::Unreadable);
    return true;
}

}  // namespace quorvel

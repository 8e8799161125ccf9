#include "image_file_read.h"

#include <cstdio>
#include <filesystem>
#include <memory>

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
    // Looked at before opening: opening a FIFO would wait for a writer that may never come.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return fail(FileReadFailure::Missing);
    }
    if (status.type() == std::filesystem::file_type::directory) {
        return fail(FileReadFailure::Directory);
    }
    if (error) return fail(FileReadFailure::Unreadable);
    if (status.type() != std::filesystem::file_type::regular) {
        return fail(FileReadFailure::NotRegular);
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return fail(FileReadFailure::Unreadable);
    if (size > limit) return fail(FileReadFailure::TooLarge);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return fail(FileReadFailure::Unreadable);
    out.reserve(static_cast<size_t>(size));
    char chunk[1 << 16];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        // The size above is only what the file had when it was looked at; the read itself
        // stops at the limit, however long the file has become since.
        if (got > limit - out.size()) return fail(FileReadFailure::TooLarge);
        out.append(chunk, got);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(file.get()) != 0) return fail(FileReadFailure::Unreadable);
    return true;
}

}  // namespace quorvel

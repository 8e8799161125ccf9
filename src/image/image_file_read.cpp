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

bool readImageFileText(const std::string& path, std::string& out, std::uintmax_t limit) {
    out.clear();
    // Looked at before opening: opening a FIFO would wait for a writer that may never come.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > limit) return false;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    out.reserve(static_cast<size_t>(size));
    char chunk[1 << 16];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        // The size above is only what the file had when it was looked at; the read itself
        // stops at the limit, however long the file has become since.
        if (got > limit - out.size()) {
            out.clear();
            return false;
        }
        out.append(chunk, got);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(file.get()) != 0) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace quorvel

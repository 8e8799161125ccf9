#include "record_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel::cli {
namespace {

#ifdef _WIN32
int openForAppend(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
// Adds `line`; empty, or why it could not be added.
std::string appendLine(int fd, const std::string& line) {
    if (_write(fd, line.data(), static_cast<unsigned>(line.size())) != int(line.size()) ||
        _commit(fd) != 0) {
        return std::strerror(errno);
    }
    return {};
}
void closeFile(int fd) {
    _close(fd);
}
#else
int openForAppend(const std::string& path) {
    // Not blocking: a FIFO put in the file's place after the check must not hang the tool.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Adds `line` whole or not at all, held against the other programs that add to the file: a
// line that went out short is cut off again, and a line torn earlier (a crash, a full disk
// in another program) is ended first, so that no line ever starts after a torn one. Empty, or
// why the line could not be added.
std::string appendLine(int fd, const std::string& line) {
    if (::flock(fd, LOCK_EX) != 0) return std::strerror(errno);
    std::string error;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
    } else {
        const off_t begin = info.st_size;
        char last = '\n';
        if (begin > 0 && ::pread(fd, &last, 1, begin - 1) != 1) last = '\n';
        const std::string text = (last == '\n' ? "" : "\n") + line;
        if (!writeAll(fd, text.data(), text.size()) || ::fsync(fd) != 0) {
            error = std::strerror(errno);
            // Back to where the line began: the file keeps whole lines only.
            if (::ftruncate(fd, begin) != 0) error += "; the file could not be cut back";
        }
    }
    ::flock(fd, LOCK_UN);
    return error;
}

void closeFile(int fd) {
    ::close(fd);
}
#endif

}  // namespace

std::string regularFileProblem(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
        return {};
    }
    if (std::filesystem::is_directory(status)) return path + " is a folder, not a file";
    return path + " is not a regular file (a device, a pipe or a socket)";
}

RecordFile::~RecordFile() {
    if (fd_ >= 0) closeFile(fd_);
}

bool RecordFile::open(const std::string& path) {
    path_ = path;
    if (const std::string problem = regularFileProblem(path); !problem.empty()) {
        failure_ = problem;
        return false;
    }
    fd_ = openForAppend(path);
    if (fd_ < 0) failure_ = std::strerror(errno);
    return fd_ >= 0;
}

bool RecordFile::append(const DeviceRecord& record) {
    const std::string line = recordLine(record) + "\n";
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string error = fd_ >= 0 ? appendLine(fd_, line) : "the file is not open";
    if (!error.empty() && failure_.empty()) {
        failure_ = "could not add the record of " + record.port + " to " + path_ + ": " + error;
    }
    return error.empty();
}

std::string RecordFile::failure() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

}  // namespace quorvel::cli

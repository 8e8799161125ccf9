#include "record_file.h"

#include <QFile>
#include <cerrno>
#include <cstring>

#include "safe_file.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel {
namespace {

#ifdef _WIN32
HANDLE handleOf(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(static_cast<int>(file)));
}
// Adds `line` in one append; empty, or why it could not be added. The file is opened without
// FILE_SHARE_DELETE, so that it cannot be moved away or deleted while the tool holds it: the
// path names the open file for as long as the run lasts.
std::string appendLine(std::intptr_t& file, const std::string&, const std::string& line) {
    DWORD written = 0;
    if (line.size() > MAXDWORD ||
        WriteFile(handleOf(file), line.data(), static_cast<DWORD>(line.size()), &written,
                  nullptr) == 0 ||
        written != line.size() || FlushFileBuffers(handleOf(file)) == 0) {
        return "the system refused the write (error " + std::to_string(GetLastError()) + ")";
    }
    return {};
}
void closeFile(std::intptr_t file) {
    _close(static_cast<int>(file));
}
#else
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

// Whether `fd` is the file that `path` names now: not moved away (log rotation), deleted or
// replaced since it was opened.
bool namesOpenFile(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && held.st_nlink > 0 && ::stat(path.c_str(), &named) == 0 &&
           named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

// Locks the file that `path` names now and leaves `fd` on it, held: the open one while the
// path still names it, else the file at the path, opened (and made, when it was deleted) as
// the first one was. A line never goes to a file that was moved away or no longer has a name.
// Empty, or why no file could be held.
std::string holdNamedFile(int& fd, const std::string& path) {
    // Another program may move the file between the look and the lock; a few rounds settle it.
    for (int round = 0; round < 8; ++round) {
        if (::flock(fd, LOCK_EX) != 0) return std::strerror(errno);
        if (namesOpenFile(fd, path)) return {};
        ::flock(fd, LOCK_UN);
        const OpenedFile reopened = openFileForWriting(path, FileWrite::Append);
        if (reopened.fd < 0) return "it could not be opened again: " + reopened.problem;
        ::close(fd);
        fd = reopened.fd;
    }
    return path + " keeps being replaced";
}

// Adds `line` whole or not at all, held against the other programs that add to the file: a
// line that went out short is cut off again, and a line torn earlier (a crash, a full disk
// in another program) is ended first, so that no line ever starts after a torn one. The line
// goes to the file the path names at this moment. Empty, or why the line could not be added.
std::string appendLine(std::intptr_t& file, const std::string& path, const std::string& line) {
    int fd = static_cast<int>(file);
    std::string error = holdNamedFile(fd, path);
    file = fd;
    if (!error.empty()) return error;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
    } else {
        const off_t begin = info.st_size;
        char last = '\n';
        if (begin > 0 && ::pread(fd, &last, 1, begin - 1) != 1) last = '\n';
        const std::string text = (last == '\n' ? "" : "\n") + line;
        // A file-size limit (ulimit -f) fails the write with EFBIG, SIGXFSZ being ignored.
        if (!writeAll(fd, text.data(), text.size()) || ::fsync(fd) != 0) {
            error = std::strerror(errno);
            // Back to where the line began: the file keeps whole lines only.
            if (::ftruncate(fd, begin) != 0) error += "; the file could not be cut back";
        }
    }
    ::flock(fd, LOCK_UN);
    return error;
}

void closeFile(std::intptr_t fd) {
    ::close(static_cast<int>(fd));
}
#endif

}  // namespace

RecordFile::~RecordFile() {
    if (file_ != kNoFile) closeFile(file_);
}

bool RecordFile::open(const std::string& path, bool makeFolders) {
    path_ = path;
    const OpenedFile opened = openFileForWriting(path, FileWrite::Append, makeFolders);
    if (opened.fd < 0) failure_ = opened.problem;
    file_ = opened.fd < 0 ? kNoFile : opened.fd;
    return file_ != kNoFile;
}

bool RecordFile::append(const Record& record) {
    return add(recordLine(record) + "\n", record.port);
}

bool RecordFile::appendStarted(const Record& record) {
    return add(startedLine(record) + "\n", record.port);
}

bool RecordFile::appendText(const std::string& line, const std::string& port) {
    return add(line + "\n", port);
}

bool RecordFile::add(const std::string& line, const std::string& port) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string error =
        file_ != kNoFile ? appendLine(file_, path_, line) : "the file is not open";
    if (!error.empty() && failure_.empty()) {
        failure_ = "could not add the record of " + port + " to " + path_ + ": " + error;
    }
    return error.empty();
}

std::string RecordFile::failure() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

SpoolLock::SpoolLock(const QString& spool)
    : fd_(openFileForWriting(QFile::encodeName(spool + ".lock").toStdString(), FileWrite::Append,
                             true)
              .fd) {
#ifdef _WIN32
    OVERLAPPED whole{};
    held_ = fd_ >= 0 &&
            LockFileEx(handleOf(fd_), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
#else
    held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
#endif
}

SpoolLock::~SpoolLock() {
    if (fd_ >= 0) closeFile(fd_);
}

std::string backlogText(const RecordBacklog& b) {
    if (b.since.empty()) return {};
    return "database unreachable since " + b.since + ": " + std::to_string(b.lines) +
           (b.lines == 1 ? " line waits" : " lines wait") + " in the spool";
}

}  // namespace quorvel

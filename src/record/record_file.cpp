#include "record_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel {
namespace {

#ifdef _WIN32
// FILE_APPEND_DATA without FILE_WRITE_DATA: the system moves every WriteFile to the file's end
// itself, in the same step as the write, so that a line never lands over one that another
// program (a second station on the same shared file) added in between. The C runtime's
// _O_APPEND seeks and then writes, which two processes can interleave. Other programs may
// read and add to the file while it is open.
std::intptr_t openForAppend(const std::string& path) {
    // The path is in the ANSI code page, as the command line that named it.
    const HANDLE file =
        CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(file);
}
HANDLE handleOf(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
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
    CloseHandle(handleOf(file));
}
std::string openProblem(const std::string&) {
    return std::strerror(errno);
}
#else
// Whether every user may add names to the folder that holds `path` (/tmp): there another user
// could put a link where the record is opened, or made again after a deletion.
bool inSharedFolder(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && (info.st_mode & S_IWOTH) != 0;
}

std::intptr_t openForAppend(const std::string& path) {
    // Not blocking: a FIFO put in the file's place after the check must not hang the tool.
    // No link is followed in a folder every user can write to.
    const int noLink = inSharedFolder(path) ? O_NOFOLLOW : 0;
    const int fd =
        ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | noLink, 0644);
    if (fd < 0) return fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// Why openForAppend() failed, in words.
std::string openProblem(const std::string& path) {
    if (errno == ELOOP && inSharedFolder(path)) {
        return "a link in a folder every user can write to is not followed";
    }
    return std::strerror(errno);
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
        if (const std::string problem = regularFileProblem(path); !problem.empty()) {
            return problem;
        }
        const std::intptr_t reopened = openForAppend(path);
        if (reopened < 0) return path + " could not be opened again: " + openProblem(path);
        ::close(fd);
        fd = static_cast<int>(reopened);
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
    if (file_ != kNoFile) closeFile(file_);
}

bool RecordFile::open(const std::string& path) {
    path_ = path;
    if (const std::string problem = regularFileProblem(path); !problem.empty()) {
        failure_ = problem;
        return false;
    }
    file_ = openForAppend(path);
    if (file_ == kNoFile) failure_ = openProblem(path);
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

}  // namespace quorvel

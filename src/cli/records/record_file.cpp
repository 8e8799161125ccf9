#include "record_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel::cli {
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
    return reinterpret_cast<std::intptr_t>(file);
}
HANDLE handleOf(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}
bool writeAll(std::intptr_t file, const std::string& text) {
    DWORD written = 0;
    return text.size() <= MAXDWORD &&
           WriteFile(handleOf(file), text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) != 0 &&
           written == text.size();
}
bool syncToDisk(std::intptr_t file) {
    return FlushFileBuffers(handleOf(file)) != 0;
}
void closeFile(std::intptr_t file) {
    CloseHandle(handleOf(file));
}
#else
std::intptr_t openForAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
// One write() of the whole line: with O_APPEND it lands at the end in one piece, also when
// another program adds to the same file.
bool writeAll(std::intptr_t fd, const std::string& text) {
    return ::write(static_cast<int>(fd), text.data(), text.size()) ==
           static_cast<ssize_t>(text.size());
}
bool syncToDisk(std::intptr_t fd) {
    return ::fsync(static_cast<int>(fd)) == 0;
}
void closeFile(std::intptr_t fd) {
    ::close(static_cast<int>(fd));
}
#endif

}  // namespace

RecordFile::~RecordFile() {
    if (file_ != kNoFile) closeFile(file_);
}

bool RecordFile::open(const std::string& path) {
    path_ = path;
    file_ = openForAppend(path);
    return file_ != kNoFile;
}

bool RecordFile::append(const DeviceRecord& record) {
    const std::string line = recordLine(record) + "\n";
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = file_ != kNoFile && writeAll(file_, line) && syncToDisk(file_);
    if (!ok && failure_.empty()) {
        failure_ = "could not add the record of " + record.port + " to " + path_;
    }
    return ok;
}

std::string RecordFile::failure() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

}  // namespace quorvel::cli

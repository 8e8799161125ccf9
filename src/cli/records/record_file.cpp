#include "record_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvel::cli {
namespace {

#ifdef _WIN32
int openForAppend(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
bool writeAll(int fd, const std::string& text) {
    return _write(fd, text.data(), static_cast<unsigned>(text.size())) == int(text.size());
}
bool syncToDisk(int fd) {
    return _commit(fd) == 0;
}
void closeFile(int fd) {
    _close(fd);
}
#else
int openForAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
// One write() of the whole line: with O_APPEND it lands at the end in one piece, also when
// another program adds to the same file.
bool writeAll(int fd, const std::string& text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}
bool syncToDisk(int fd) {
    return ::fsync(fd) == 0;
}
void closeFile(int fd) {
    ::close(fd);
}
#endif

}  // namespace

RecordFile::~RecordFile() {
    if (fd_ >= 0) closeFile(fd_);
}

bool RecordFile::open(const std::string& path) {
    path_ = path;
    fd_ = openForAppend(path);
    return fd_ >= 0;
}

bool RecordFile::append(const DeviceRecord& record) {
    const std::string line = recordLine(record) + "\n";
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool ok = fd_ >= 0 && writeAll(fd_, line) && syncToDisk(fd_);
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

#include "safe_file.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel {
namespace {

// "PATH: why", or "PATH is ..." for what stands in a file's place.
std::string named(const std::string& path, int error) {
    switch (error) {
        case EISDIR:
            return path + " is a folder, not a file";
        case ENXIO:
            return path + " is not a regular file (a device, a pipe or a socket)";
        default:
            return path + ": " + std::strerror(error);
    }
}

OpenedFile refused(const std::string& problem, bool notRegular = false, int error = 0) {
    OpenedFile opened;
    opened.problem = problem;
    opened.notRegular = notRegular;
    opened.error = error;
    return opened;
}

}  // namespace

std::FILE* streamOf(int fd, const char* mode) {
#ifdef _WIN32
    std::FILE* stream = _fdopen(fd, mode);
    if (stream == nullptr) _close(fd);
#else
    std::FILE* stream = fdopen(fd, mode);
    if (stream == nullptr) ::close(fd);
#endif
    return stream;
}

#ifdef _WIN32

// Windows: no link (symbolic link, junction) is followed at the file itself, and only a file
// on a disk is taken. The path is in the ANSI code page, as the command line that named it.
namespace {

OpenedFile openHandle(const std::string& path, DWORD access, DWORD disposition, bool append) {
    const HANDLE file =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return refused(named(path, ENOENT), false, ENOENT);
        return refused(path + ": the system refused it (error " + std::to_string(error) + ")",
                       false, EACCES);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(file);
        return refused(path +
                           " is not a regular file (a link, a folder or a device), which is "
                           "not followed",
                       true, ENXIO);
    }
    OpenedFile opened;
    opened.created = error != ERROR_ALREADY_EXISTS;
    opened.fd =
        _open_osfhandle(reinterpret_cast<intptr_t>(file),
                        (append ? _O_APPEND : 0) | (access == GENERIC_READ ? _O_RDONLY : 0));
    if (opened.fd < 0) {
        CloseHandle(file);
        opened.problem = named(path, errno);
    }
    return opened;
}

}  // namespace

OpenedFile openFileForWriting(const std::string& path, FileWrite how, bool makeFolders) {
    if (makeFolders) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: the system moves every write to the file's end
    // in the same step, so that two programs adding lines never overwrite each other's.
    const DWORD access = how == FileWrite::Append ? (FILE_APPEND_DATA | GENERIC_READ)
                                                  : (GENERIC_READ | GENERIC_WRITE);
    OpenedFile opened = openHandle(path, access, OPEN_ALWAYS, how == FileWrite::Append);
    if (opened.fd >= 0 && how == FileWrite::Truncate && _chsize_s(opened.fd, 0) != 0) {
        const int error = errno;
        _close(opened.fd);
        return refused(named(path, error), false, error);
    }
    return opened;
}

std::string folderProblem(const std::string&) {
    return {};
}

OpenedFile openFileForReading(const std::string& path, bool) {
    return openHandle(path, GENERIC_READ, OPEN_EXISTING, false);
}

#else

namespace {

// The longest chain of links a path may lead through, as the kernel's own limit.
constexpr int kLinkBudget = 40;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

bool trustedOwner(uid_t owner) {
    return owner == 0 || owner == ::geteuid();
}

// Whether a user other than the caller may add, remove or rename names in a folder: it is
// writable by everyone, or by a group that is not the caller's own.
bool othersMayChange(const struct stat& folder) {
    if ((folder.st_mode & S_IWOTH) != 0) return true;
    return (folder.st_mode & S_IWGRP) != 0 && folder.st_gid != ::getegid();
}

std::vector<std::string> namesOf(const std::string& path) {
    std::vector<std::string> names;
    size_t begin = 0;
    while (begin <= path.size()) {
        const size_t end = std::min(path.find('/', begin), path.size());
        const std::string name = path.substr(begin, end - begin);
        if (!name.empty() && name != ".") names.push_back(name);
        begin = end + 1;
    }
    return names;
}

// The walk of one path: the folder that holds the file, held open, and the file's name in it.
class Walk {
  public:
    Walk(const std::string& path, bool makeFolders) : path_(path), makeFolders_(makeFolders) {}

    // Goes down to the folder of the file; empty, or why the path is refused.
    std::string toFolder() {
        std::string absolute = path_;
        if (absolute.empty()) return "an empty path names no file";
        if (absolute.front() != '/') {
            std::vector<char> cwd(4096);
            if (::getcwd(cwd.data(), cwd.size()) == nullptr)
                return path_ + ": the current folder cannot be found: " + std::strerror(errno);
            absolute = std::string(cwd.data()) + "/" + absolute;
        }
        const std::vector<std::string> names = namesOf(absolute);
        if (names.empty() || names.back() == "..") return path_ + " names a folder, not a file";
        queue_.assign(names.begin(), names.end());
        if (std::string problem = startAtRoot(); !problem.empty()) return problem;
        return walkQueue();
    }

    int folder() const { return folder_.get(); }
    const struct stat& folderInfo() const { return folderInfo_; }
    std::string name() const { return queue_.front(); }
    bool sharedFolder() const { return othersMayChange(folderInfo_); }

    // The file's own name turned out to be a link: follows it if it may be followed. Empty, or
    // why not; after it the walk must be taken to the folder again.
    std::string followFinalLink() {
        const std::string name = queue_.front();
        Descriptor link(::openat(folder_.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (link.get() < 0 || ::fstat(link.get(), &info) != 0)
            return path_ + ": " + std::strerror(errno);
        if (!S_ISLNK(info.st_mode)) return path_ + " keeps being replaced";
        queue_.pop_front();
        if (std::string problem = followLink(link.get(), info, name); !problem.empty())
            return problem;
        if (queue_.empty() || queue_.back() == "..") return path_ + " names a folder, not a file";
        return walkQueue();
    }

  private:
    std::string startAtRoot() {
        folder_.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        shown_.clear();
        if (folder_.get() < 0 || ::fstat(folder_.get(), &folderInfo_) != 0)
            return path_ + ": / cannot be opened: " + std::strerror(errno);
        return {};
    }

    // Goes down every name in the queue but the last, from the folder reached so far.
    std::string walkQueue() {
        while (queue_.size() > 1) {
            const std::string name = queue_.front();
            queue_.pop_front();
            Descriptor next(::openat(folder_.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            // A missing folder of the caller's own data is made, private, where the walk is.
            if (next.get() < 0 && errno == ENOENT && makeFolders_ && name != ".." &&
                (::mkdirat(folder_.get(), name.c_str(), 0700) == 0 || errno == EEXIST)) {
                next.reset(::openat(folder_.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            }
            struct stat info {};
            if (next.get() < 0 && errno == ENOENT)
                return path_ + ": the folder " + where(name) + " does not exist";
            if (next.get() < 0 || ::fstat(next.get(), &info) != 0)
                return path_ + ": the folder " + where(name) +
                       " cannot be entered: " + std::strerror(errno);
            if (S_ISLNK(info.st_mode)) {
                if (std::string problem = followLink(next.get(), info, name); !problem.empty())
                    return problem;
                continue;
            }
            if (!S_ISDIR(info.st_mode)) return path_ + ": " + where(name) + " is not a folder";
            if (name != ".." && !trustedOwner(info.st_uid)) {
                return path_ + ": the folder " + where(name) +
                       " belongs to another user, which is not entered";
            }
            shown_ = where(name);
            folder_.reset(next.release());
            folderInfo_ = info;
        }
        return {};
    }

    // A link met on the way: its target's names go first in the queue, from the root when the
    // target is absolute. Only a link of the caller's or root's, in a folder that no other user
    // can change, is followed: anyone else's could lead anywhere.
    std::string followLink(int link, const struct stat& info, const std::string& name) {
        // The file's own name is said once: "/tmp/x.log is a link ...".
        const std::string subject = queue_.empty() ? path_ : path_ + ": " + where(name);
        if (othersMayChange(folderInfo_)) {
            return subject +
                   " is a link in a folder other users can write to, which is not followed";
        }
        if (!trustedOwner(info.st_uid)) {
            return subject + " is a link that belongs to another user, which is not followed";
        }
        if (--linkBudget_ < 0) return path_ + ": " + std::strerror(ELOOP);
        std::vector<char> target(4096);
        const ssize_t size = ::readlinkat(link, "", target.data(), target.size());
        if (size <= 0 || size_t(size) >= target.size()) return path_ + ": " + std::strerror(errno);
        const std::string text(target.data(), size_t(size));
        const std::vector<std::string> names = namesOf(text);
        queue_.insert(queue_.begin(), names.begin(), names.end());
        if (text.front() == '/') return startAtRoot();
        return {};
    }

    std::string where(const std::string& name) const { return shown_ + "/" + name; }

    std::string path_;
    bool makeFolders_;
    std::deque<std::string> queue_;
    Descriptor folder_;
    struct stat folderInfo_ {};
    std::string shown_;  // the folder reached so far, as walked
    int linkBudget_ = kLinkBudget;
};

// Opens the walk's file with `flags` (never following a link at it), made new when missing.
// Follows a link at the file's name only where that is safe.
OpenedFile openWalked(Walk& walk, const std::string& path, int flags, bool create) {
    for (int round = 0; round < 8; ++round) {
        const std::string name = walk.name();
        OpenedFile opened;
        if (create) {
            opened.fd = ::openat(walk.folder(), name.c_str(), flags | O_CREAT | O_EXCL, 0644);
            opened.created = opened.fd >= 0;
            if (opened.fd < 0 && errno != EEXIST)
                return refused(path + ": " + std::strerror(errno));
        }
        if (opened.fd < 0) opened.fd = ::openat(walk.folder(), name.c_str(), flags);
        if (opened.fd < 0 && errno == ENOENT && create) continue;  // removed meanwhile
        if (opened.fd < 0 && errno == ELOOP) {
            if (std::string problem = walk.followFinalLink(); !problem.empty())
                return refused(problem, true);
            continue;
        }
        if (opened.fd < 0) {
            const int error = errno;
            return refused(named(path, error), error == EISDIR || error == ENXIO, error);
        }
        return opened;
    }
    return refused(path + " keeps being replaced");
}

}  // namespace

// Whether a file opened in a folder others may write to could have been put there by someone
// else: it is another user's, or a second name (a hard link) of a file that may be anything.
static std::string putThere(const std::string& path, const struct stat& info) {
    if (trustedOwner(info.st_uid) && info.st_nlink <= 1) return {};
    return path + " was put in a folder other users can write to by " +
           (info.st_nlink > 1 ? std::string("another name of a file (a hard link)")
                              : "another user") +
           ", which is not used";
}

OpenedFile openFileForWriting(const std::string& path, FileWrite how, bool makeFolders) {
    Walk walk(path, makeFolders);
    if (std::string problem = walk.toFolder(); !problem.empty()) return refused(problem);
    // Never blocking: a pipe put in the file's place must not hang the tool.
    constexpr int kCommon = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int flags = how == FileWrite::Lock ? O_RDONLY | kCommon
                      : how == FileWrite::Append ? O_RDWR | O_APPEND | kCommon
                                                 : O_WRONLY | kCommon;
    OpenedFile opened = openWalked(walk, path, flags, true);
    if (opened.fd < 0) return opened;
    Descriptor fd(opened.fd);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return refused(path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refused(named(path, ENXIO), true);
    // In a folder others may write to, a file someone else made there, or a second name of a
    // file (a hard link) that may be anything, is not written: it could have been put there.
    if (how != FileWrite::Lock && !opened.created && walk.sharedFolder()) {
        if (std::string problem = putThere(path, info); !problem.empty()) return refused(problem);
    }
    // A lock file is readable by every user whatever the umask: holds are taken on it read-only.
    if (opened.created && how == FileWrite::Lock) (void)::fchmod(fd.get(), 0644);
    if (how == FileWrite::Truncate && ::ftruncate(fd.get(), 0) != 0)
        return refused(path + ": " + std::strerror(errno));
    opened.fd = fd.release();
    return opened;
}

std::string folderProblem(const std::string& path) {
    Walk walk(path, false);
    return walk.toFolder();
}

OpenedFile openFileForReading(const std::string& path, bool ownFile) {
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    OpenedFile opened;
    bool shared = false;
    if (ownFile) {
        Walk walk(path, false);
        if (std::string problem = walk.toFolder(); !problem.empty()) return refused(problem);
        opened = openWalked(walk, path, kFlags | O_NOFOLLOW, false);
        shared = walk.sharedFolder();
    } else {
        opened.fd = ::open(path.c_str(), kFlags);
        opened.error = opened.fd < 0 ? errno : 0;
        if (opened.fd < 0) opened.problem = named(path, opened.error);
    }
    if (opened.fd < 0) return opened;
    Descriptor fd(opened.fd);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return refused(path + ": " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return refused(named(path, EISDIR), true, EISDIR);
    if (!S_ISREG(info.st_mode)) return refused(named(path, ENXIO), true, ENXIO);
    if (shared) {
        if (std::string problem = putThere(path, info); !problem.empty()) return refused(problem);
    }
    // Reads block again, as a regular file's always may.
    (void)::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    opened.fd = fd.release();
    return opened;
}

#endif

}  // namespace quorvel

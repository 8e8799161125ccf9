#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device_lock.h"

// The lock is an flock on a file per device in the machine's lock folder (/run/lock on
// Debian), which every user and every login shares. That folder is writable by anyone, so the
// file is treated as hostile: it is opened without following a link and without blocking,
// must be a regular file, is never written or truncated (the holder is found through the
// kernel's own list of locks, not through anything written into the file), and is removed on
// unlock only by the user who owns it. A lock that cannot be taken for any reason is a refusal
// with that reason: a device is never written unheld.

namespace quorvel {
namespace {

constexpr int kOpenFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
// A lock file removed and made again by another writer between our open and our lock is
// looked up again; more rounds than this mean something keeps replacing it.
constexpr int kLockRounds = 8;

// The first shared lock folder that exists. Each is a system folder, writable by anyone only
// with the sticky bit, so that nobody can remove or replace another user's lock file.
std::string lockFolder() {
    for (const char* folder : {kDeviceLockFolder, "/var/lock", "/tmp"}) {
        struct stat info {};
        if (::stat(folder, &info) == 0 && S_ISDIR(info.st_mode)) return folder;
    }
    return "/tmp";
}

// Why the lock folder cannot be trusted, or empty.
std::string folderProblem(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return "the lock folder " + folder + " is missing";
    const bool writableByOthers = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (info.st_uid != 0 || (writableByOthers && (info.st_mode & S_ISVTX) == 0)) {
        return "the lock folder " + folder +
               " is not a system folder (it must belong to root, and have the sticky bit when "
               "others may write it)";
    }
    return {};
}

// Text another process wrote (its name) with anything but plain printable ASCII dropped.
std::string plainText(std::string text) {
    std::erase_if(text, [](char c) { return c < 0x21 || c > 0x7e; });
    return text;
}

std::string userName(uid_t uid) {
    std::array<char, 4096> buffer{};
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        return plainText(found->pw_name);
    return "uid " + std::to_string(uid);
}

// The process that holds an flock on the file `locked` describes, from the kernel's list of
// locks: "quorvel-writer (pid 1234, user alice)". Empty when it cannot be seen (another pid
// namespace, /proc not mounted).
std::string holderOf(const struct stat& locked) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters carry "->" and are skipped.
        std::istringstream fields(line);
        std::string number, kind, mode, access, where;
        long pid = 0;
        if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK")
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (inode != locked.st_ino || major != ::major(locked.st_dev) ||
            minor != ::minor(locked.st_dev) || pid <= 0)
            continue;
        const std::string proc = "/proc/" + std::to_string(pid);
        std::ifstream commFile(proc + "/comm");
        std::string program;
        std::getline(commFile, program);
        program = plainText(program);
        struct stat owner {};
        const std::string user =
            ::stat(proc.c_str(), &owner) == 0 ? ", user " + userName(owner.st_uid) : "";
        return (program.empty() ? "another program" : program) + " (pid " + std::to_string(pid) +
               user + ")";
    }
    return {};
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool isSerialDeviceNode(const std::string& device) {
    struct stat node {};
    if (::stat(device.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return false;
    // Pseudo-terminal slaves (a simulator, a network bridge) are lines too.
    if (::major(node.st_rdev) >= 136 && ::major(node.st_rdev) <= 143) return true;
    const std::string sysfs = "/sys/dev/char/" + std::to_string(::major(node.st_rdev)) + ":" +
                              std::to_string(::minor(node.st_rdev));
    std::error_code error;
    const std::filesystem::path subsystem =
        std::filesystem::read_symlink(sysfs + "/subsystem", error);
    // Without sysfs (some containers) every character device may be a line.
    if (error) return !std::filesystem::exists("/sys/dev/char", error);
    return subsystem.filename() == "tty";
}

std::string deviceNodeKey(const std::string& device) {
    struct stat node {};
    if (::stat(device.c_str(), &node) != 0) return {};
    std::string key = std::to_string(::major(node.st_rdev)) + "-" +
                      std::to_string(::minor(node.st_rdev)) + "-" + std::to_string(node.st_ino);
    // Not for a USB adapter's node: udev sets its permissions just after it appears, which
    // moves its change time while a first writer may already hold it.
    if (::major(node.st_rdev) >= 136 && ::major(node.st_rdev) <= 143) {
        key +=
            "-" + std::to_string(node.st_ctim.tv_sec) + "." + std::to_string(node.st_ctim.tv_nsec);
    }
    return key;
}

std::string deviceLockPath(const std::string& device) {
    std::string name = device;
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return lockFolder() + "/quorvel-flash" + name + "." + deviceNodeKey(device) + ".lock";
}

bool DeviceLock::lock(const std::string& device) {
    unlock();
    refusal_.clear();
    const std::string path = deviceLockPath(device);
    const std::string cannot = "cannot hold " + device + ": ";
    const std::string unsent = "; nothing was sent";
    if (const std::string problem = folderProblem(lockFolder()); !problem.empty()) {
        refusal_ = cannot + problem + unsent;
        return false;
    }
    for (int round = 0; round < kLockRounds; ++round) {
        bool created = false;
        int fd = ::open(path.c_str(), kOpenFlags);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, 0644);
            if (fd < 0 && errno == EEXIST) continue;  // made by another writer meanwhile
            created = fd >= 0;
            // Readable by every user, whatever our umask: a lock is taken on a read-only file.
            if (created) (void)::fchmod(fd, 0644);
        }
        if (fd < 0) {
            const int cause = errno;
            refusal_ =
                cannot + "its lock file " + path +
                (cause == ELOOP ? " is a symbolic link, which is not followed"
                                : " cannot be opened: " + std::string(std::strerror(cause))) +
                unsent;
            return false;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            refusal_ = cannot + "its lock file " + path +
                       " is not a regular file (remove what stands there)" + unsent;
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int cause = errno;
            ::close(fd);
            if (cause == EWOULDBLOCK) {
                const std::string holder = holderOf(opened);
                refusal_ = "busy: " + device + " is being written by " +
                           (holder.empty() ? "another writer" : holder) + unsent;
            } else {
                refusal_ = cannot + "its lock file " + path +
                           " cannot be locked: " + std::strerror(cause) + unsent;
            }
            return false;
        }
        // The file may have been removed by the writer before us between our open and our
        // lock: only the file that the path still names is the lock.
        struct stat named {};
        if (::lstat(path.c_str(), &named) != 0 || !sameFile(named, opened)) {
            ::close(fd);
            continue;
        }
        handle_ = fd;
        path_ = path;
        own_ = created || opened.st_uid == ::geteuid();
        return true;
    }
    refusal_ = cannot + "its lock file " + path + " keeps being replaced" + unsent;
    return false;
}

void DeviceLock::unlock() {
    if (handle_ == kNone) return;
    const int fd = static_cast<int>(handle_);
    // Removed while still locked, and only if the path still names our file: a writer that
    // opened it meanwhile finds it gone once it has the lock, and looks again.
    struct stat opened {};
    struct stat named {};
    if (own_ && ::fstat(fd, &opened) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
        sameFile(opened, named)) {
        (void)::unlink(path_.c_str());
    }
    ::close(fd);
    handle_ = kNone;
    path_.clear();
    own_ = false;
}

}  // namespace quorvel

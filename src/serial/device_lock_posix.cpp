#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "device_lock.h"
#include "safe_file.h"

// The lock is an flock on a file per device in the machine's lock folder for the tool,
// /run/lock/quorvel: owned by root and the group that may open serial devices (dialout on
// Debian), with the sticky bit, so that only those who may use a device can take its hold and
// nobody can remove another's lock file. The package makes the folder at boot; a run as root
// makes it when it is missing. The file is never written (the holder is found through the
// kernel's own list of locks), and whatever stands at a lock path that these rules cannot have
// made (a folder, a pipe, a link, the file of a user who may not open the device) is no hold:
// it is said once and set aside. A lock file whose holder is gone is removed by the next
// writer, under its lock, so that files do not pile up.

namespace quorvel {
namespace {

// A lock file removed and made again by another writer between our open and our lock is
// looked up again; more rounds than this mean something keeps replacing it.
constexpr int kLockRounds = 8;
// A clean-up looks at a lock file for microseconds; on a loaded machine it may be held up for
// a while, but a look that lasts longer than this is no clean-up of ours.
constexpr auto kLookedAtWait = std::chrono::seconds(2);
constexpr auto kLookedAtPause = std::chrono::milliseconds(1);
constexpr char kLockPrefix[] = "quorvel-flash";

std::mutex noticeMutex;
std::function<void(const std::string&)> noticeSink;

// Tells the user once per run what was set aside.
void sayOnce(const std::string& text) {
    static std::set<std::string> said;
    const std::lock_guard<std::mutex> lock(noticeMutex);
    if (!said.insert(text).second || !noticeSink) return;
    noticeSink(text);
}

// The group whose members may open serial devices: dialout (Debian), uucp (others), else root.
gid_t serialGroup() {
    for (const char* name : {"dialout", "uucp"}) {
        std::array<char, 4096> buffer{};
        struct group entry {};
        struct group* found = nullptr;
        if (::getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
            return found->gr_gid;
    }
    return 0;
}

// Whether user `uid` may open the device node `node`: root, its owner, a member of its group
// when the group may write it, anyone when everyone may.
bool mayOpen(uid_t uid, const struct stat& node) {
    if (uid == 0 || uid == node.st_uid || (node.st_mode & S_IWOTH) != 0) return true;
    if ((node.st_mode & S_IWGRP) == 0) return false;
    std::array<char, 4096> buffer{};
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) return false;
    }
    groups.resize(static_cast<size_t>(count));
    return std::find(groups.begin(), groups.end(), node.st_gid) != groups.end();
}

// Moves what stands at `name` in the folder `folder` out of the way: removed, or, for a folder
// with something in it, renamed beside it. False when it could not be.
bool setAside(int folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(info.st_mode)) return ::unlinkat(folder, name.c_str(), 0) == 0;
    if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0) return true;
    const std::string aside =
        name + ".set-aside." + std::to_string(::getpid()) + "." + std::to_string(info.st_ino);
    return ::renameat(folder, name.c_str(), folder, aside.c_str()) == 0;
}

bool setAside(const std::string& path) {
    const std::filesystem::path where(path);
    const int folder = ::open(where.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    const bool done = setAside(folder, where.filename().string());
    ::close(folder);
    return done;
}

// The tool's lock folder under the system lock folder.
std::string lockFolder() {
    // /run/lock on current systems; /var/lock on those that have no /run/lock.
    struct stat info {};
    if (::stat("/run/lock", &info) != 0 && ::stat("/var/lock", &info) == 0 && S_ISDIR(info.st_mode))
        return "/var/lock/quorvel";
    return kDeviceLockFolder;
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
        // A shared lock is another writer's clean-up looking at the file, not a writer.
        if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK" ||
            access != "WRITE")
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

// Whether `path` still names the file `held` describes (not removed or replaced meanwhile).
bool pathNames(const std::string& path, const struct stat& held) {
    struct stat named {};
    return ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
           named.st_ino == held.st_ino;
}

// Pseudo-terminal slaves (Unix98 ptys, majors 136 to 143): a simulator, a network bridge.
bool isPseudoTerminal(const struct stat& node) {
    return ::major(node.st_rdev) >= 136 && ::major(node.st_rdev) <= 143;
}

}  // namespace

bool isSerialDeviceNode(const std::string& device) {
    struct stat node {};
    if (::stat(device.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return false;
    if (isPseudoTerminal(node)) return true;  // lines too
    const std::string sysfs = "/sys/dev/char/" + std::to_string(::major(node.st_rdev)) + ":" +
                              std::to_string(::minor(node.st_rdev));
    std::error_code error;
    const std::filesystem::path subsystem =
        std::filesystem::read_symlink(sysfs + "/subsystem", error);
    // Without sysfs (some containers) every character device may be a line.
    if (error) return !std::filesystem::exists("/sys/dev/char", error);
    return subsystem.filename() == "tty";
}

std::string deviceIdentity(const std::string& path) {
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) return {};
    std::string identity = std::to_string(::major(node.st_rdev)) + "-" +
                           std::to_string(::minor(node.st_rdev)) + "-" +
                           std::to_string(node.st_ino);
    if (isPseudoTerminal(node)) {
        identity +=
            "-" + std::to_string(node.st_ctim.tv_sec) + "." + std::to_string(node.st_ctim.tv_nsec);
    }
    return identity;
}

std::string deviceLockPath(const std::string& device) {
    std::string name = device;
    std::replace(name.begin(), name.end(), '/', '_');
    return lockFolder() + "/" + kLockPrefix + name + "." + deviceIdentity(device) + ".lock";
}

void setLockNotices(std::function<void(const std::string&)> sink) {
    const std::lock_guard<std::mutex> lock(noticeMutex);
    noticeSink = std::move(sink);
}

std::string prepareLockFolder(const std::string& folder) {
    const bool root = ::geteuid() == 0;
    const gid_t group = serialGroup();
    for (int round = 0; round < kLockRounds; ++round) {
        // Made private first, then given to the group once it is sure to be ours.
        if (root && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return "the lock folder " + folder + " cannot be made: " + std::strerror(errno);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 && errno == ENOENT) {
            return "the lock folder " + folder +
                   " is missing (the package makes it at boot; a run as root makes it)";
        }
        const bool opened = fd >= 0 && ::fstat(fd, &info) == 0;
        if (opened && info.st_uid == 0 && (info.st_mode & S_IWOTH) == 0) {
            // Root keeps it as it must be: root and the serial group, sticky.
            if (root && (info.st_gid != group || (info.st_mode & 07777) != 01775)) {
                (void)::fchown(fd, 0, group);
                (void)::fchmod(fd, 01775);
            }
            ::close(fd);
            return {};
        }
        if (fd >= 0) ::close(fd);
        const std::string what =
            "the lock folder " + folder +
            (opened ? " belongs to another user (uid " + std::to_string(info.st_uid) + ")"
                    : " is not a folder");
        if (!root || !setAside(folder)) return what + ", so no device can be held";
        sayOnce(what + ", which no rule of the tool made: it was set aside");
    }
    return "the lock folder " + folder + " keeps being replaced";
}

namespace {

// Removes the lock files in `folder` whose holder is gone (a writer killed before it could
// remove its own): each is locked first, and removed only while it is still the file its path
// names, so that a writer that opened it meanwhile finds it gone and looks again. The folder is
// the machine's: the files are other writers' of other devices, in other processes, one of
// which may be between its open and its lock. The look takes the file shared, which tells it
// has no writer as well as an exclusive lock would, and lets that writer tell the look from a
// holder (DeviceLock::lock) rather than refuse its device as busy. Shared looks of two clean-ups
// could both find a file left and one remove the file a writer made after the other removed
// it: so only one clean-up runs at a time, the one that holds the folder; the others pass.
void removeLeftLocks(const std::string& folder, const std::string& own) {
    const int cleaning = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (cleaning < 0) return;
    if (::flock(cleaning, LOCK_EX | LOCK_NB) != 0) {
        ::close(cleaning);
        return;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.path() == own || !name.starts_with(kLockPrefix) || !name.ends_with(".lock"))
            continue;
        // Opened as it is, never made again: the writer that had it may have removed it since.
        const OpenedFile opened = openFileForReading(entry.path().string());
        if (opened.fd < 0) continue;
        struct stat held {};
        if (::flock(opened.fd, LOCK_SH | LOCK_NB) == 0 && ::fstat(opened.fd, &held) == 0 &&
            pathNames(entry.path().string(), held)) {
            (void)::unlink(entry.path().c_str());
        }
        ::close(opened.fd);
    }
    ::close(cleaning);
}

// The serial library takes a lock file of its own, LCK..ttyS0, in the first of these folders
// it may use. What stands there that cannot be the lock of a program that may open the device
// (a folder, a link, a pipe, the file of a user who may not) would keep the port from opening:
// it is set aside. The device is held by then, so no writer of ours is using it.
void setAsidePlantedPortLocks(const std::string& device, const struct stat& node) {
    std::string name = device.starts_with("/dev/") ? device.substr(5) : device;
    std::replace(name.begin(), name.end(), '/', '_');
    for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                               "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        const std::string path = std::string(folder) + "/LCK.." + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) continue;
        if (S_ISREG(info.st_mode) && mayOpen(info.st_uid, node)) continue;
        if (setAside(path)) {
            sayOnce(path + " was not made by a program that may open " + device +
                    ": it was set aside");
        }
    }
}

}  // namespace

bool DeviceLock::lock(const std::string& device) {
    unlock();
    refusal_.clear();
    const auto refuse = [&](const std::string& why) {
        refusal_ = "cannot hold " + device + ": " + why + "; nothing was sent";
        return false;
    };
    struct stat node {};
    if (::stat(device.c_str(), &node) != 0) return refuse(std::strerror(errno));
    const std::string folder = lockFolder();
    if (const std::string problem = prepareLockFolder(folder); !problem.empty())
        return refuse(problem);
    const std::string path = deviceLockPath(device);
    const auto lookedAtUntil = std::chrono::steady_clock::now() + kLookedAtWait;
    for (int round = 0; round < kLockRounds; ++round) {
        const OpenedFile opened = openFileForWriting(path, FileWrite::Lock);
        if (opened.fd < 0 && opened.notRegular) {
            // A folder, a pipe or a link: nothing a writer makes.
            if (!setAside(path))
                return refuse("its lock file " + path +
                              " is not a regular file and cannot be set aside");
            sayOnce("what stood at the lock file " + path + " was not a regular file: set aside");
            continue;
        }
        if (opened.fd < 0) {
            const bool member = ::access(folder.c_str(), W_OK) == 0;
            return refuse("its lock file cannot be opened: " + opened.problem +
                          (member ? ""
                                  : " (only root and the group that may open serial devices, "
                                    "dialout, may hold one)"));
        }
        const int fd = opened.fd;
        struct stat held {};
        if (::fstat(fd, &held) != 0) {
            const int cause = errno;
            ::close(fd);
            return refuse("its lock file " + path + ": " + std::strerror(cause));
        }
        // A lock file of a user who may not open the device holds nothing. One that another
        // writer set aside meanwhile is simply looked up again.
        if (!mayOpen(held.st_uid, node)) {
            const std::string owner = userName(held.st_uid);
            const int cause = !pathNames(path, held)        ? ENOENT
                              : ::unlink(path.c_str()) == 0 ? 0
                                                            : errno;
            ::close(fd);
            if (cause == ENOENT) continue;
            if (cause != 0) {
                return refuse("its lock file " + path + " belongs to " + owner +
                              ", who may not open the device, and cannot be set aside");
            }
            sayOnce("the lock file " + path + " belonged to " + owner + ", who may not open " +
                    device + ": set aside");
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int cause = errno;
            // Shared only: another writer's clean-up is looking at the file for a moment, and
            // may remove it. Looked up again once it is done, within a bound.
            if (cause == EWOULDBLOCK && ::flock(fd, LOCK_SH | LOCK_NB) == 0) {
                ::close(fd);
                if (std::chrono::steady_clock::now() >= lookedAtUntil) {
                    return refuse("its lock file " + path +
                                  " is kept locked shared, which no writer does");
                }
                std::this_thread::sleep_for(kLookedAtPause);
                --round;
                continue;
            }
            ::close(fd);
            if (cause != EWOULDBLOCK)
                return refuse("its lock file " + path +
                              " cannot be locked: " + std::strerror(cause));
            const std::string holder = holderOf(held);
            refusal_ = "busy: " + device + " is being written by " +
                       (holder.empty() ? "another writer" : holder) + "; nothing was sent";
            return false;
        }
        // The file may have been removed by the writer before us between our open and our
        // lock: only the file that the path still names is the lock.
        if (!pathNames(path, held)) {
            ::close(fd);
            continue;
        }
        handle_ = fd;
        path_ = path;
        removeLeftLocks(folder, path);
        setAsidePlantedPortLocks(device, node);
        return true;
    }
    return refuse("its lock file " + path + " keeps being replaced");
}

void DeviceLock::unlock() {
    if (handle_ == kNone) return;
    const int fd = static_cast<int>(handle_);
    // Removed while still locked, and only if the path still names our file: a writer that
    // opened it meanwhile finds it gone once it has the lock, and looks again.
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && pathNames(path_, opened)) (void)::unlink(path_.c_str());
    ::close(fd);
    handle_ = kNone;
    path_.clear();
}

}  // namespace quorvel

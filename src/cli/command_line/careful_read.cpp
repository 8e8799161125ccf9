#include "careful_read.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace quorvel::cli {
namespace {

#ifndef Q_OS_WIN
// Whether the group `gid` is the private group of `owner` (a group of its own name whose only
// member it is), as many systems give each user: writable by it is writable by the owner alone.
bool ownersOwnGroup(uid_t owner, gid_t gid) {
    std::vector<char> buffer(16384);
    passwd user{};
    passwd* userFound = nullptr;
    if (::getpwuid_r(owner, &user, buffer.data(), buffer.size(), &userFound) != 0 || !userFound)
        return false;
    if (user.pw_gid != gid) return false;
    const std::string name = user.pw_name;
    std::vector<char> groupBuffer(16384);
    group g{};
    group* groupFound = nullptr;
    if (::getgrgid_r(gid, &g, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 ||
        !groupFound) {
        return false;
    }
    for (char** member = g.gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (name != *member) return false;
    }
    return name == g.gr_name;
}

// Why another user could change the opened file, or empty when none can.
std::string othersCanChange(const struct stat& st) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
    if (st.st_uid != 0 && st.st_uid != ::geteuid()) {
        return "it belongs to another user (uid " + std::to_string(st.st_uid) +
               "); it must belong to root or to the user the tool runs as";
    }
    if ((st.st_mode & S_IWOTH) != 0 ||
        ((st.st_mode & S_IWGRP) != 0 && st.st_gid != 0 && !ownersOwnGroup(st.st_uid, st.st_gid))) {
        return std::string("other users can write to it (mode ") + mode + "); chmod go-w it";
    }
    return {};
}
#endif

}  // namespace

std::optional<QByteArray> readCarefully(const std::string& path, qint64 largest,
                                        std::string& problem) {
    const auto tooLarge = [&] {
        problem = "it is larger than " + std::to_string(largest) + " bytes";
        return std::nullopt;
    };
#ifdef Q_OS_WIN
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        problem = "cannot be read: " + file.errorString().toStdString();
        return std::nullopt;
    }
    if (file.isSequential()) {
        problem = "it is not a regular file";
        return std::nullopt;
    }
    QByteArray text = file.read(largest + 1);
    if (text.size() > largest) return tooLarge();
    return text;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        problem = S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
        return std::nullopt;
    }
    if (problem = othersCanChange(st); !problem.empty()) return std::nullopt;
    if (st.st_size > largest) return tooLarge();
    QByteArray text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            problem = std::string("cannot be read: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, n);
        if (text.size() > largest) return tooLarge();
    }
    return text;
#endif
}

}  // namespace quorvel::cli

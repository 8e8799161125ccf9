#include "careful_read.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "safe_file.h"

#ifndef Q_OS_WIN
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
    const OpenedFile opened = openFileForReading(path);
    if (opened.fd < 0) {
        problem = opened.error == EISDIR ? "it is a folder"
                  : opened.notRegular
                      ? "it is not a regular file"
                      : std::string("cannot be read: ") + std::strerror(opened.error);
        return std::nullopt;
    }
#ifndef Q_OS_WIN
    struct stat st {};
    if (::fstat(opened.fd, &st) != 0) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        ::close(opened.fd);
        return std::nullopt;
    }
    if (problem = othersCanChange(st); !problem.empty()) {
        ::close(opened.fd);
        return std::nullopt;
    }
#endif
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(streamOf(opened.fd, "rb"), &std::fclose);
    QFile reader;
    if (!file || !reader.open(file.get(), QIODevice::ReadOnly)) {
        problem = "cannot be read";
        return std::nullopt;
    }
    // One byte more than the largest file taken tells a larger one.
    const QByteArray text = reader.read(largest + 1);
    if (reader.error() != QFileDevice::NoError) {
        problem = "cannot be read";
        return std::nullopt;
    }
    if (text.size() > largest) {
        problem = "it is larger than " + std::to_string(largest) + " bytes";
        return std::nullopt;
    }
    return text;
}

}  // namespace quorvel::cli

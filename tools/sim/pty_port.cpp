#include "pty_port.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace quorvel::sim {

namespace {

constexpr std::array<std::pair<speed_t, int>, 18> kSpeeds = {{
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
}};

}  // namespace

PtyPort::~PtyPort() {
    close();
}

bool PtyPort::open(std::string& error) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
    }
    const int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    return true;
}

void PtyPort::close() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

int PtyPort::lineSpeed() const {
    termios tio{};
    if (slave_ < 0 || tcgetattr(slave_, &tio) != 0) return 0;
    const speed_t speed = cfgetospeed(&tio);
    for (const auto& [code, bps] : kSpeeds) {
        if (code == speed) return bps;
    }
    return 0;
}

bool makePortLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a symbolic link";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "cannot make the link " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void removePortLink(const std::string& link, const std::string& target) {
    std::array<char, 4096> buf{};
    const ssize_t n = readlink(link.c_str(), buf.data(), buf.size() - 1);
    if (n > 0 && target == std::string(buf.data(), static_cast<size_t>(n))) unlink(link.c_str());
}

}  // namespace quorvel::sim

#pragma once
// A pseudo-terminal pair standing in for a device: the test talks on the master side, the
// link opens the slave by its path. The test keeps a handle on the slave so that the link can
// open and close it as often as it likes.

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <string>

class PtyPair {
  public:
    PtyPair() {
        char name[128] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        path_ = name;
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        closeMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

    // The device sends.
    void send(const QByteArray& bytes) {
        [[maybe_unused]] const ssize_t n = ::write(master_, bytes.constData(), bytes.size());
    }
    // Everything the link has sent so far.
    QByteArray received() {
        QByteArray all;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            all.append(buf, n);
        }
        return all;
    }
    // The speed the slave side is set to, in bit/s.
    int slaveSpeed() const {
        termios t{};
        tcgetattr(slave_, &t);
        switch (cfgetospeed(&t)) {
            case B4800:
                return 4800;
            case B9600:
                return 9600;
            case B38400:
                return 38400;
            default:
                return -1;
        }
    }
    // The device goes away.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

#pragma once
// A transport that answers each write with the next scripted reply, at once: the exchanges'
// logic can be checked without a port or any waiting.

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

#include "port_mapping.h"
#include "transport.h"

class ScriptedTransport : public quorvel::Transport {
  public:
    QList<QByteArray> replies;  // the answer to write n; missing or empty: silence
    // When set, answers every write instead of `replies`.
    std::function<QByteArray(const QByteArray& written)> responder;
    QStringList log;  // "settings 9600,n,8,1", "open COM1", "write 11", "close"
    QList<QByteArray> written;
    bool refuseOpen = false;
    int breakAtWrite = -1;             // this write (0-based) finds the connection lost
    std::function<void()> duringWait;  // runs inside every wait, as events would
    int waits = 0;

    bool open(const quorvel::PortTarget& target) override {
        log << "open " + QString::fromStdString(quorvel::targetName(target));
        if (refuseOpen || (target.portNumber == 0 && target.devicePath.empty())) return false;
        open_ = true;
        return true;
    }
    void close() override {
        log << "close";
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    bool setLineSettings(const quorvel::LineSettings& s) override {
        log << QString("settings %1,%2,%3,%4")
                   .arg(s.baudRate)
                   .arg(QChar(s.parity))
                   .arg(s.dataBits)
                   .arg(s.stopBits);
        return true;
    }
    bool write(std::span<const uint8_t> bytes) override {
        if (!open_) return false;
        const int index = static_cast<int>(written.size());
        written << QByteArray(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
        log << QString("write %1").arg(bytes.size());
        if (index == breakAtWrite) {
            failure_ = "the connection was lost";
            return false;
        }
        pending_ += responder ? responder(written.last()) : replies.value(index);
        return true;
    }
    bool waitForBytes(int64_t, std::chrono::milliseconds) override {
        ++waits;
        if (duringWait) {
            const auto hook = duringWait;  // the hook may replace itself
            hook();
        }
        return open_ && !(abortSource_ && abortSource_());
    }
    int64_t bytesAvailable() override { return pending_.size(); }
    std::vector<uint8_t> readAll() override {
        std::vector<uint8_t> bytes(pending_.begin(), pending_.end());
        pending_.clear();
        return bytes;
    }
    int64_t discardInput() override {
        const int64_t n = pending_.size();
        pending_.clear();
        return n;
    }
    void abortWaitsWhen(std::function<bool()> source) override { abortSource_ = std::move(source); }
    std::string failureText() const override { return failure_; }

    // Bytes a test wants the device to have sent before the next wait.
    void arrive(const QByteArray& bytes) { pending_ += bytes; }

  private:
    bool open_ = false;
    std::function<bool()> abortSource_;
    QByteArray pending_;
    std::string failure_;
};

// A frame answer of `length` bytes whose byte 1032 is `status`.
inline QByteArray frameAnswer(char status, int length = 1036) {
    QByteArray a(length, 'x');
    if (length > 1032) a[1032] = status;
    return a;
}

// A line answer of `length` bytes: `echo` from position 23 on, `status` at 23 when no echo.
inline QByteArray lineAnswer(const QByteArray& echo, char status = 0, int length = 43) {
    QByteArray a(length, 'y');
    if (!echo.isEmpty()) a.replace(23, echo.size(), echo);
    if (status != 0) a[23] = status;
    return a.left(length);
}

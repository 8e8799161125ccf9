#pragma once
// A Loader on the real serial port, pointed at the simulator through QUORVEL_COM1, with a
// transcript of everything it sends.

#include <QElapsedTimer>
#include <QStringList>
#include <memory>

#include "loader.h"
#include "serial_port_transport.h"
#include "sim_process.h"
#include "trace_transport.h"

struct LiveLoader {
    explicit LiveLoader(const SimProcess& sim) {
        qputenv("QUORVEL_COM1", sim.slavePath().toUtf8());
        settings.portNumber = 1;
        auto tracer = std::make_unique<quorvel::TraceTransport>(
            std::make_unique<quorvel::SerialPortTransport>(), [this](std::string_view line) {
                lines << QString::fromUtf8(line.data(), qsizetype(line.size())).mid(10);
            });
        loader = std::make_unique<quorvel::Loader>(std::move(tracer));
    }

    // The bytes of every write, as upper-case hex pairs.
    QStringList sends() const {
        QStringList hex;
        for (const QString& l : lines) {
            if (l.startsWith("send ")) hex << l.section(": ", 1);
        }
        return hex;
    }

    quorvel::ExchangeSettings settings;
    QStringList lines;
    std::unique_ptr<quorvel::Loader> loader;
};

inline QString hexOf(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

inline QString hexOf(const std::vector<uint8_t>& bytes) {
    return hexOf(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

// True when nobody holds the device: the exchange before closed it.
inline bool portIsFree(const SimProcess& sim) {
    quorvel::SerialPortTransport probe;
    const bool opened = probe.open({1, sim.slave()});
    probe.close();
    return opened;
}

// An attempt that ends at the 2.5 s reply deadline lasts that long, and at most 2.5 s more
// while the link listens for the rest of a late reply; allow generous slack above that.
inline void verifySilentAttempts(qint64 elapsedMs, int silentAttempts) {
    if (silentAttempts == 0) {
        QVERIFY2(elapsedMs < 2000, qPrintable(QString("%1 ms").arg(elapsedMs)));
        return;
    }
    QVERIFY2(elapsedMs >= silentAttempts * 2450, qPrintable(QString("%1 ms").arg(elapsedMs)));
    QVERIFY2(elapsedMs < silentAttempts * 5000 + 2000, qPrintable(QString("%1 ms").arg(elapsedMs)));
}

#pragma once
// Shared pieces of the exchange tests: a Loader on a scripted transport, and images.

#include <QtTest>
#include <memory>

#include "loader.h"
#include "scripted_transport.h"

struct ScriptedLoader {
    ScriptedLoader() {
        auto owned = std::make_unique<ScriptedTransport>();
        transport = owned.get();
        loader = std::make_unique<quorvel::Loader>(std::move(owned));
    }
    ScriptedTransport* transport;
    std::unique_ptr<quorvel::Loader> loader;
};

inline quorvel::ExchangeSettings com1() {
    quorvel::ExchangeSettings s;
    s.portNumber = 1;
    return s;
}

// A cleared image (all FF, no flags) with the given rows flagged and filled with a pattern.
inline quorvel::MemoryImage imageWithRows(const QList<int>& rows) {
    quorvel::MemoryImage image;
    image.ClearImage();
    for (int row : rows) {
        for (int c = 0; c < quorvel::kRowBytes; ++c) image.setValue(row, c, (row + c) & 0xFF);
        image.flagRow(row);
    }
    return image;
}

// Every exchange ends with the port closed; once it had the port open, the last thing it did
// to the port was close it.
inline void verifyClosedAtEnd(const ScriptedTransport& t) {
    QVERIFY(!t.isOpen());
    if (!t.written.isEmpty()) QCOMPARE(t.log.last(), QString("close"));
}

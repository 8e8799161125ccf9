#include "message_scanner.h"

#include <algorithm>
#include <string_view>

namespace quorvel::sim {

namespace {

enum class Match { No, Partial, Full };

Match matchLiteral(const uint8_t* data, size_t size, std::string_view literal) {
    const size_t n = std::min(size, literal.size());
    for (size_t i = 0; i < n; ++i) {
        if (data[i] != static_cast<uint8_t>(literal[i])) return Match::No;
    }
    return size >= literal.size() ? Match::Full : Match::Partial;
}

ScanResult needMore() {
    return {ScanState::NeedMore, MessageKind::Frame, 0};
}
ScanResult junk() {
    return {ScanState::Junk, MessageKind::Frame, 0};
}
ScanResult complete(MessageKind kind, size_t length) {
    return {ScanState::Complete, kind, length};
}

MessageKind frameKind(const uint8_t* data) {
    const std::string_view letters(reinterpret_cast<const char*>(data + 2), 2);
    if (letters == "BE") return MessageKind::Erase;
    if (letters == "PG") return MessageKind::Program;
    if (letters == "ED") return MessageKind::Disconnect;
    return MessageKind::Frame;
}

ScanResult scanLiteral(const uint8_t* data, size_t size, std::string_view literal,
                       MessageKind kind) {
    switch (matchLiteral(data, size, literal)) {
        case Match::Full:
            return complete(kind, literal.size());
        case Match::Partial:
            return needMore();
        case Match::No:
            break;
    }
    return junk();
}

ScanResult scanCommand(const uint8_t* data, size_t size) {
    if (data[2] != '~') return junk();
    if (size < 4) return needMore();
    if (data[3] == 'P') {
        const size_t limit = std::min(size, kMaxPinCommand);
        for (size_t i = 4; i < limit; ++i) {
            if (data[i] == '\r') return complete(MessageKind::Pin, i + 1);
        }
        return size < kMaxPinCommand ? needMore() : junk();
    }
    const Match oldWord = matchLiteral(data, size, "QZ~FLASH\r\n");
    if (oldWord == Match::Full) return complete(MessageKind::Connect, 10);
    const Match newWord = matchLiteral(data, size, "QZ~FLASHU\r\n");
    if (newWord == Match::Full) return complete(MessageKind::Connect, 11);
    if (oldWord == Match::Partial || newWord == Match::Partial) return needMore();
    return junk();
}

}  // namespace

ScanResult scanMessage(const uint8_t* data, size_t size) {
    if (size == 0) return needMore();
    const uint8_t first = data[0];
    if (size < 2) return (first <= 0x01 || first >= 0x40) ? needMore() : junk();
    const uint8_t second = data[1];
    if (first == 0xFF && second == 0xFE) {
        if (size < kFrameLength) return needMore();
        return complete(frameKind(data), kFrameLength);
    }
    if (first >= 0x40 && (second & 0x0F) == 0) {
        return size < kRowRecordLength ? needMore() : complete(MessageKind::Row, kRowRecordLength);
    }
    switch (first) {
        case 0x00:
            return scanLiteral(data, size, std::string_view("\0\0\r\n", 4), MessageKind::Text);
        case 0x01:
            return scanLiteral(data, size, "\x01\x01\r\n", MessageKind::Text);
        case 'O':
            return scanLiteral(data, size, "OK\r\n", MessageKind::Ack);
        case 'N':
            return scanLiteral(data, size, "NG\r\n", MessageKind::Ack);
        case 'Q':
            if (second != 'Z') return junk();
            return size < 3 ? needMore() : scanCommand(data, size);
        default:
            return junk();
    }
}

}  // namespace quorvel::sim

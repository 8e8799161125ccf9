#include "message.h"

#include <array>

namespace quorvel::sim {

namespace {
constexpr std::array<std::string_view, 9> kNames = {
    "connect", "pin", "erase", "program", "disconnect", "frame", "text", "row", "ack"};
}

std::string_view kindName(MessageKind kind) {
    return kNames[static_cast<size_t>(kind)];
}

std::optional<MessageKind> kindFromName(std::string_view name) {
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) return static_cast<MessageKind>(i);
    }
    return std::nullopt;
}

std::string frameLetters(const Message& m) {
    return std::string{static_cast<char>(m.bytes[2]), static_cast<char>(m.bytes[3])};
}

uint32_t frameAddress(const Message& m) {
    return (uint32_t{m.bytes[4]} << 16) | (uint32_t{m.bytes[5]} << 8) | m.bytes[6];
}

uint8_t frameCheckByte(const uint8_t* frame) {
    uint32_t sum = 0;
    for (size_t i = 2; i < kFrameLength - 1; ++i) sum += frame[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

bool frameCheckOk(const Message& m) {
    return frameCheckByte(m.bytes.data()) == m.bytes[kFrameLength - 1];
}

uint32_t rowAddress(const Message& m) {
    return (uint32_t{m.bytes[0]} << 8) | m.bytes[1];
}

std::string pinText(const Message& m) {
    // "QZ~P" (4 bytes) ... mode digit, CR
    if (m.bytes.size() < 6) return {};
    return std::string(m.bytes.begin() + 4, m.bytes.end() - 2);
}

char pinMode(const Message& m) {
    if (m.bytes.size() < 6) return 0;
    return static_cast<char>(m.bytes[m.bytes.size() - 2]);
}

std::string messageWord(const Message& m) {
    switch (m.kind) {
        case MessageKind::Connect:
            return std::string(m.bytes.begin(), m.bytes.end() - 2);
        case MessageKind::Text:
            return m.bytes[0] == 0x00 ? "END" : "ERASE";
        case MessageKind::Ack:
            return std::string(m.bytes.begin(), m.bytes.begin() + 2);
        default:
            return {};
    }
}

std::optional<uint32_t> messageAddress(const Message& m) {
    if (m.kind == MessageKind::Program) return frameAddress(m);
    if (m.kind == MessageKind::Row) return rowAddress(m);
    return std::nullopt;
}

}  // namespace quorvel::sim

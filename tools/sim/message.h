#pragma once
// The messages that the tool sends to the device's flash loader, as the simulated loader
// sees them: the kind, the raw bytes, and the fields that the loader acts on.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::sim {

enum class MessageKind { Connect, Pin, Erase, Program, Disconnect, Frame, Text, Row, Ack };

// Lower-case names used on the command line and in the transcript ("connect", "program"...).
std::string_view kindName(MessageKind kind);
std::optional<MessageKind> kindFromName(std::string_view name);

constexpr size_t kFrameLength = 1032;      // FF FE, two letters, 1027 payload bytes, check byte
constexpr size_t kFrameDataOffset = 7;     // programming data after the 3 address bytes
constexpr size_t kFrameDataLength = 1024;  // one block of 64 rows
constexpr size_t kRowRecordLength = 20;    // address hi, lo, 16 data bytes, 2 trailing bytes
constexpr size_t kRowDataLength = 16;
constexpr size_t kLineLength = 4;      // 00 00 CR LF, 01 01 CR LF, "OK" CR LF, "NG" CR LF
constexpr size_t kMaxPinCommand = 64;  // a port command longer than this is line noise

struct Message {
    MessageKind kind = MessageKind::Frame;
    std::vector<uint8_t> bytes;
};

// Long frames.
std::string frameLetters(const Message& m);
uint32_t frameAddress(const Message& m);       // bytes 4..6, most significant first
uint8_t frameCheckByte(const uint8_t* frame);  // low 8 bits of the sum of bytes 2..1030
bool frameCheckOk(const Message& m);

// Row records.
uint32_t rowAddress(const Message& m);

// Port command "QZ~P" + pin text + mode digit + CR. The mode is 0 when the command has none.
std::string pinText(const Message& m);
char pinMode(const Message& m);

// The command word of a text message: "QZ~FLASH", "QZ~FLASHU", "END", "ERASE", "OK", "NG";
// empty for the other kinds.
std::string messageWord(const Message& m);

// The address a fault can be aimed at: the block of a programming frame or the row of a row
// record. Empty for the other kinds.
std::optional<uint32_t> messageAddress(const Message& m);

}  // namespace quorvel::sim

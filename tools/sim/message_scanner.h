#pragma once
// Splits the byte stream from the tool into messages by their first bytes. The tool writes
// each message in one write, but the bytes may be read in pieces, so the scanner only looks
// at what has arrived so far and says whether it needs more.

#include <cstddef>
#include <cstdint>

#include "message.h"

namespace quorvel::sim {

enum class ScanState {
    NeedMore,  // the bytes so far begin a message that is not complete yet
    Junk,      // the first byte begins no known message: drop it and scan again
    Complete,  // a whole message of `length` bytes lies at the start
};

struct ScanResult {
    ScanState state = ScanState::NeedMore;
    MessageKind kind = MessageKind::Frame;
    size_t length = 0;
};

// How the messages are told apart:
//   FF FE ...            long frame, 1032 bytes; the letters at 2,3 give the kind
//   "QZ~FLASH" CR LF     connect (old loader), "QZ~FLASHU" CR LF connect (new loader)
//   "QZ~P" ... CR        port command, at most kMaxPinCommand bytes
//   00 00 CR LF          "END" line,   01 01 CR LF "ERASE" line
//   "OK" CR LF, "NG" CR LF  acknowledgement of a row record
//   [40..FF][x0] ...     row record, 20 bytes: a row address 0x4000..0xFFF0 has a zero low
//                        nibble, which FE, "Z", "K" and "G" do not, so the cases never overlap
ScanResult scanMessage(const uint8_t* data, size_t size);

}  // namespace quorvel::sim

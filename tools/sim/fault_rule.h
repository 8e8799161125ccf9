#pragma once
// One fault to inject, as given on the command line:
//
//   KIND[@ADDRESS]=ACTION[,count=N]
//
//   KIND     connect pin erase program disconnect text row ack
//   ADDRESS  program and row only: the block (or row) start, hex with 0x or decimal
//   ACTION   silent | short | status:X | garbage | mismatch | close-after:N | slow:MS |
//            late:MS | tail:MS | cut:N
//   count=N  only the first N matching messages get the fault (not with close-after or cut)

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "message.h"

namespace quorvel::sim {

enum class FaultAction {
    Silent,
    Short,
    Status,
    Garbage,
    Mismatch,
    CloseAfter,
    Slow,
    Late,
    Tail,
    Cut
};

struct FaultRule {
    MessageKind kind = MessageKind::Connect;
    std::optional<uint32_t> address;
    FaultAction action = FaultAction::Silent;
    std::string status;  // status:X, one character (two for pin)
    long value = 0;      // close-after:N, slow:MS, late:MS, tail:MS, cut:N
    long count = -1;     // -1: every matching message
    std::string text;    // the rule as given, for the transcript
};

// Parses `text`; on failure returns nothing and says why in `error`.
std::optional<FaultRule> parseFault(std::string_view text, std::string& error);

// True when the rule is aimed at this message (kind, and address when one is given).
bool faultMatches(const FaultRule& rule, const Message& m);

}  // namespace quorvel::sim

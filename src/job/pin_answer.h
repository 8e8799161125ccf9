#pragma once
// The pin command's answer as the tools print it.

#include <cstdint>
#include <string_view>

namespace quorvel {

struct PinAnswer {
    std::string_view text;  // "OK", "NG", "output low" ... "input high", or "???"
    bool good;              // false for NG and for an answer the tool cannot name
};

PinAnswer pinAnswer(int16_t status);

}  // namespace quorvel

#pragma once
// The little JSON the command-line tool writes: quoted strings and numbers.

#include <string>
#include <string_view>

namespace quorvel::cli {

// The text as a JSON string literal, quotes included; UTF-8 passes through unchanged.
std::string jsonString(std::string_view text);

// A number of milliseconds with one decimal.
std::string jsonMilliseconds(double ms);

}  // namespace quorvel::cli

#pragma once
// The little JSON the command-line tool writes: quoted strings and numbers.

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::cli {

// The text as a JSON string literal, quotes included; UTF-8 passes through unchanged.
std::string jsonString(std::string_view text);

// "null" or the JSON string.
std::string jsonOrNull(const std::optional<std::string>& text);

}  // namespace quorvel::cli

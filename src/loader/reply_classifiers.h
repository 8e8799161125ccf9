#pragma once
// The two ways a reply is judged: one status byte (ReplyCode) or a two-character status
// framed by line ends (ReplyText). Both read only inside the received bytes: a position that
// lies outside them gives no code, and the calling exchange takes its error path.

#include <cstdint>
#include <optional>
#include <span>

namespace quorvel {

constexpr int16_t kNotRecognised = 8;     // no class matched, in both classifiers
constexpr int16_t kTextStatusLength = 6;  // CR LF, two status characters, CR LF

// "0"->0, "1"->1, "E"->2, "C"->3, "B"->4, "P"->5, "R"->13, any other byte->8 (exact case).
std::optional<int16_t> ReplyCode(std::span<const uint8_t> received, int16_t position);

// CR LF, two status characters, CR LF from `position` on: "OK"->0, "NG"->1, "00"->9, "01"->10,
// "02"->11, "03"->12; any other pair or a wrong frame->8.
std::optional<int16_t> ReplyText(std::span<const uint8_t> received, int16_t position);

}  // namespace quorvel

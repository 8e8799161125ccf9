#pragma once
// The text commands of the loader: the connect word and the port-control command, with the
// reply layout each one expects.

#include <cstdint>
#include <span>
#include <string>

#include "exchange_settings.h"

namespace quorvel {

struct ConnectCommand {
    std::string text;        // the word with CR LF
    int16_t statusPosition;  // the byte after as many bytes as the command has
    int16_t minimumReply;    // status position + 4
};

// "QZ~FLASH" CR LF for the 1.05 loader, "QZ~FLASHU" CR LF otherwise.
ConnectCommand connectCommandFor(LoaderGeneration generation);

// True when `reply` can be a loader's answer to a connect word (an empty one is none). A loader
// repeats what it receives before its status, so its answer to either generation's word begins with
// the stem both words share, "QZ~FLASH" (as far as the reply goes): a loader of the other
// generation, which does not take the word, still repeats it before it answers with another
// status byte or length. Other bytes are no loader's answer to the word: most likely the loader
// was still taking a frame that an interrupted writer cut off, and the word's bytes completed
// it; or noise on the line.
bool answersConnectWord(std::span<const uint8_t> reply);

// "QZ~P", the pin text as typed, the mode's digit and CR.
std::string BuildPortCommand(const std::string& pinText, PortMode mode);

constexpr int16_t kPortReplyMinimum = 14;
constexpr int16_t kPortStatusPosition = 8;  // fixed, whatever the pin text's length

// The text the port panel shows for a port-command status: "OK", "NG", "L出力", "H出力",
// "L入力", "H入力", or "???" for anything else.
std::string portResultText(int16_t status);

}  // namespace quorvel

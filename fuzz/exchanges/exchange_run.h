#pragma once
// Which exchange one fuzzer input runs, with which settings and image, and the rules its
// outcome must keep whatever the device answered.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_source.h"
#include "exchange_settings.h"
#include "loader.h"
#include "memory_image.h"

namespace quorvel::fuzz {

enum class Exchange {
    Connect,
    Port,
    Erase,
    Program,
    Disconnect,
    TextErase,
    TextEnd,
    TextOther,
    Rows,
};
constexpr int kExchangeCount = 9;

struct ExchangeRule {
    int16_t failure;               // what every failure of the port returns
    std::vector<int16_t> allowed;  // every status the exchange may return
};
const ExchangeRule& ruleFor(Exchange exchange);

// The rows that an input can flag, one bit each: two in one block, one in a block of its own,
// two in the gap that programming never sends, the first row whose address does not fit a row
// record, one more in the upper range and the last row.
constexpr std::array<int, 8> kCandidateRows = {1024, 1087, 2000, 3600, 4095, 4096, 6000, 9215};
// The value of every byte of a candidate row.
uint8_t candidateValue(int row, int column);

struct Run {
    Exchange exchange = Exchange::Connect;
    ExchangeSettings settings;
    std::string word;  // the text command's word
    bool refuseOpen = false;
};

// Reads the settings part of the input:
//   [exchange % 9][settings][flagged rows][text] then the pin text's bytes, where
//   settings: bit 0 loader 1.05, bits 1-2 speed option (mod 3), bits 3-4 port mode, bit 5 the
//             port cannot be opened, bit 6 no port selected, bit 7 a device path instead
//   text:     bits 0-2 the pin text's length, bits 3-5 which wrong word a text command gets
// and flags the chosen candidate rows of `image` (and only those).
Run readRun(ByteSource& input, MemoryImage& image);

// Counts the progress calls of the block and row walks.
struct ProgressCount {
    int calls = 0;
    int steps = 0;
};

int16_t runExchange(Loader& loader, Exchange exchange, const Run& run, const MemoryImage& image,
                    ProgressCount* progress);

}  // namespace quorvel::fuzz

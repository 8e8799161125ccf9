#include "exchange_checks.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "../image_invariants.h"

namespace quorvel::fuzz {
namespace {

constexpr size_t kFrame = 1032;
constexpr size_t kFrameAnswer = 1036;
constexpr size_t kRecord = 20;
constexpr size_t kLine = 4;
constexpr size_t kRowAnswer = 43;
constexpr size_t kRowAnswerAt = 23;
constexpr int kPositions = 120;  // block positions of the programming walk
constexpr int kRows = kLastRow - kFirstRow + 1;
constexpr int32_t kLineSpeed = 38400;

bool same(const std::vector<uint8_t>& bytes, std::string_view text) {
    return std::equal(bytes.begin(), bytes.end(), text.begin(), text.end(),
                      [](uint8_t b, char c) { return b == static_cast<uint8_t>(c); });
}

// A long frame with the two command letters and a correct check byte, sent at 38400.
void requireFrame(const Transmission& t, char first, char second) {
    const std::vector<uint8_t>& b = t.bytes;
    require(t.baudRate == kLineSpeed && b.size() == kFrame);
    require(b[0] == 0xFF && b[1] == 0xFE && b[2] == first && b[3] == second);
    uint32_t sum = 0;
    for (size_t i = 2; i < kFrame - 1; ++i) sum += b[i];
    require(b[kFrame - 1] == static_cast<uint8_t>(sum));
}

bool complete(const Transmission& t) {
    return t.reply.size() >= kFrameAnswer;
}

bool accepted(const Transmission& t) {
    return complete(t) && t.reply[kFrame] != 'E';
}

// The flagged candidate rows, ascending.
std::vector<int> flaggedRows(const MemoryImage& image) {
    std::vector<int> rows;
    for (const int row : kCandidateRows) {
        if (image.rowFlagged(row)) rows.push_back(row);
    }
    return rows;
}

// The start rows of the blocks that programming sends, ascending.
std::vector<int> dataBlocks(const MemoryImage& image) {
    std::vector<int> blocks;
    for (const int row : flaggedRows(image)) {
        if (row >= 3584 && row < 4096) continue;  // never programmed
        const int start = row / 64 * 64;
        if (blocks.empty() || blocks.back() != start) blocks.push_back(start);
    }
    return blocks;
}

int nextAfter(const std::vector<int>& ascending, int value) {
    const auto it = std::upper_bound(ascending.begin(), ascending.end(), value);
    return it == ascending.end() ? -1 : *it;
}

void checkConnect(const Run& run, const Outcome& o) {
    const std::string command =
        run.settings.loader == LoaderGeneration::V105 ? "QZ~FLASH\r\n" : "QZ~FLASHU\r\n";
    const size_t at = command.size();
    require(o.sent.size() <= 1);
    for (const Transmission& t : o.sent) require(same(t.bytes, command) && t.baudRate == 9600);
    const auto says = [&](char c) {
        return !o.sent.empty() && o.sent[0].reply.size() >= at + 4 && o.sent[0].reply[at] == c;
    };
    if (o.status == 3) require(says('C'));
    if (o.status == 0) require(says('0'));
    if (o.status == 8 && !o.portTrouble) require(!says('C') && !says('0'));
}

void checkPort(const Run& run, const Outcome& o) {
    const std::string command = "QZ~P" + run.settings.pinText +
                                static_cast<char>('0' + static_cast<int>(run.settings.portMode)) +
                                '\r';
    constexpr int32_t speeds[] = {9600, 38400, 4800};
    require(o.sent.size() <= 1);
    for (const Transmission& t : o.sent) {
        require(same(t.bytes, command) &&
                t.baudRate == speeds[static_cast<int>(run.settings.speed)]);
    }
    if (o.status != 8) {
        require(o.sent.size() == 1);
        const std::vector<uint8_t>& r = o.sent[0].reply;
        require(r.size() >= 14 && r[8] == '\r' && r[9] == '\n' && r[12] == '\r' && r[13] == '\n');
    }
}

// Erase and disconnect: one fixed frame, at most three times, until `done` says it was taken.
void checkFixedFrame(const Outcome& o, char first, char second, int16_t success,
                     bool (*done)(const Transmission&)) {
    require(o.sent.size() <= 3);
    for (size_t i = 0; i < o.sent.size(); ++i) {
        requireFrame(o.sent[i], first, second);
        require(o.sent[i].bytes == o.sent[0].bytes);
        if (i + 1 < o.sent.size()) require(!done(o.sent[i]));  // no resend after success
    }
    if (o.status == success) require(!o.sent.empty() && done(o.sent.back()));
    if (o.status != success && !o.portTrouble) {
        require(o.sent.size() == 3 && !done(o.sent.back()));
    }
}

void checkProgram(const MemoryImage& image, const Outcome& o) {
    const std::vector<int> blocks = dataBlocks(image);
    int block = -1;
    int sends = 0;
    bool taken = false;
    for (const Transmission& t : o.sent) {
        requireFrame(t, 'P', 'G');
        const uint32_t address = (t.bytes[4] << 16) | (t.bytes[5] << 8) | t.bytes[6];
        require(address % 1024 == 0);
        const int start = static_cast<int>(address / 16);
        if (start == block) {
            require(!taken && ++sends <= 2);
        } else {
            // The walk goes on only past an accepted block, and skips no block with data.
            require((block < 0 || taken) && start == nextAfter(blocks, block));
            block = start;
            sends = 1;
        }
        taken = accepted(t);
    }
    if (o.status == 0) {
        require(block == (blocks.empty() ? -1 : blocks.back()) && (block < 0 || taken));
        require(o.progress.steps == kPositions && o.progress.calls == kPositions);
    } else if (!o.portTrouble) {
        require(sends == 2 && !taken);
    }
}

void checkText(const Run& run, const Outcome& o) {
    if (run.exchange == Exchange::TextOther) {
        require(o.sent.empty() && o.status == (o.portTrouble ? -1 : 1));
        return;
    }
    const std::string_view line = run.exchange == Exchange::TextErase
                                      ? std::string_view("\x01\x01\r\n", 4)
                                      : std::string_view("\x00\x00\r\n", 4);
    const auto answered = [](const Transmission& t, int16_t& code) {
        if (t.reply.empty()) return false;
        code = t.reply[0] == '0' ? 0 : t.reply[0] == 'E' ? 2 : t.reply[0] == 'B' ? 4 : -1;
        return code >= 0;
    };
    require(o.sent.size() <= 3);
    int16_t code = -1;
    for (size_t i = 0; i < o.sent.size(); ++i) {
        require(same(o.sent[i].bytes, line) && o.sent[i].baudRate == kLineSpeed);
        // An empty reception or an answer of class 0, 2 or 4 ends the exchange.
        if (i + 1 < o.sent.size()) require(!o.sent[i].reply.empty() && !answered(o.sent[i], code));
    }
    if (o.status == 0 || o.status == 2 || o.status == 4) {
        require(!o.sent.empty() && answered(o.sent.back(), code) && code == o.status);
    }
    if (o.status == 1) require(o.sent.size() == 3 && !answered(o.sent.back(), code));
    if (o.status == -1 && !o.portTrouble) require(!o.sent.empty() && o.sent.back().reply.empty());
}

void checkRows(const MemoryImage& image, const Outcome& o) {
    const std::vector<int> flagged = flaggedRows(image);
    int row = -1;
    int records = 0;
    bool written = false;
    for (size_t i = 0; i < o.sent.size(); ++i) {
        const Transmission& t = o.sent[i];
        require(t.baudRate == kLineSpeed);
        if (t.bytes.size() == kLine) {
            require(i > 0 && o.sent[i - 1].bytes.size() == kRecord);  // one line per record
            if (same(t.bytes, "OK\r\n")) {
                written = t.reply.size() >= kRowAnswer && t.reply[kRowAnswerAt] == '0';
            }
            continue;
        }
        require(t.bytes.size() == kRecord && t.bytes[1] % 16 == 0);
        const int r = t.bytes[0] * 16 + t.bytes[1] / 16;
        if (r == row) {
            require(!written && ++records <= 10);
        } else {
            // Rows go in order, each after the previous one was written.
            require((row < 0 || written) && r == nextAfter(flagged, row) && r < 4096);
            row = r;
            records = 1;
            written = false;
        }
        for (int c = 0; c < kRowBytes; ++c) require(t.bytes[2 + c] == candidateValue(r, c));

        // Its answer decides the line that follows: "OK" for a faithful echo, "NG" for any
        // other usable answer, nothing for an answer too short to use.
        const Transmission* next = i + 1 < o.sent.size() ? &o.sent[i + 1] : nullptr;
        const bool usable = t.reply.size() >= kRowAnswer;
        if (next && next->bytes.size() == kLine) {
            require(usable);
            const bool echoed =
                std::equal(t.bytes.begin(), t.bytes.end(), t.reply.begin() + kRowAnswerAt);
            require(same(next->bytes, echoed ? "OK\r\n" : "NG\r\n"));
        } else {
            require(!usable || (!next && o.portTrouble));
        }
    }
    int lastRecordable = -1;
    for (const int r : flagged) {
        if (r < 4096) lastRecordable = r;
    }
    const bool allWritten = row == lastRecordable && (row < 0 || written);
    const bool unrecordable = !flagged.empty() && flagged.back() >= 4096;
    if (o.status == 0) {
        require(allWritten && !unrecordable);
        require(o.progress.calls == kRows);
    }
    if (o.status == 1) require(records == 10 && !written);
    if (o.status == -1 && !o.portTrouble) require(allWritten && unrecordable);
}

}  // namespace

void checkOutcome(const Run& run, const MemoryImage& image, const Outcome& o) {
    const std::vector<int16_t>& allowed = ruleFor(run.exchange).allowed;
    require(std::find(allowed.begin(), allowed.end(), o.status) != allowed.end());
    switch (run.exchange) {
        case Exchange::Connect:
            return checkConnect(run, o);
        case Exchange::Port:
            return checkPort(run, o);
        case Exchange::Erase:
            return checkFixedFrame(o, 'B', 'E', 4, &accepted);
        case Exchange::Program:
            return checkProgram(image, o);
        case Exchange::Disconnect:
            return checkFixedFrame(o, 'E', 'D', 0, &complete);
        case Exchange::TextErase:
        case Exchange::TextEnd:
        case Exchange::TextOther:
            return checkText(run, o);
        case Exchange::Rows:
            return checkRows(image, o);
    }
}

}  // namespace quorvel::fuzz

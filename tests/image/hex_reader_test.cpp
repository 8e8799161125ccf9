#include <gtest/gtest.h>

#include "line_reader.h"
#include "reader_test_support.h"

namespace quorvel::test {
namespace {

struct HexCase {
    const char* name;
    std::string line;
    LineOutcome outcome;
    int16_t code;
    std::vector<Expect> stored;
    std::vector<int> flagged;
    bool ends = false;  // the line is the file's end-of-file record
};

std::vector<HexCase> hexCases() {
    const auto data16 = counting(0x20, 16);
    std::vector<int> ffThen00 = repeat(0xFF, 8);
    ffThen00.push_back(0x00);
    ffThen00.resize(16, 0xFF);

    std::string badChecksum = hexRecord(0, 0x4000, data16);
    badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
    std::string lower = hexRecord(0, 0xABC0, {0xDE, 0xAD});
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    std::string typeLetter = hexRecord(0, 0x4000, {0x12});
    typeLetter[8] = 'A';  // "0A": taken as a data record, checksum then reads the A as 0x0A
    // Re-balance the checksum for the changed type byte.
    typeLetter = typeLetter.substr(0, typeLetter.size() - 2) + "A3";

    return {
        {"end record", ":00000001FF", LineOutcome::Accepted, 0, {}, {}, true},
        {"end record with a byte", hexRecord(1, 0, {0}), LineOutcome::Accepted, 0, {}, {}, true},
        {"end record in small letters", ":00000001ff", LineOutcome::Rejected, 1, {}, {}},
        {"empty line", "", LineOutcome::Rejected, 9, {}, {}},
        {"no colon", "10400000", LineOutcome::Rejected, 9, {}, {}},
        {"data record without data", ":0040000000", LineOutcome::Rejected, 1, {}, {}},
        {"count above 16 before length", ":11400000001122", LineOutcome::Rejected, 2, {}, {}},
        {"trailing blank", hexRecord(0, 0x4000, {1, 2}) + " ", LineOutcome::Rejected, 3, {}, {}},
        {"length one too long", ":0240001001020A7", LineOutcome::Rejected, 3, {}, {}},
        {"first type character 1", ":02400010010229", LineOutcome::Rejected, 4, {}, {}},
        {"extended linear address",
         hexRecord(4, 0, {0x00, 0x01}),
         LineOutcome::Rejected,
         10,
         {},
         {}},
        {"start linear address",
         hexRecord(5, 0, {0, 0, 0x40, 0}),
         LineOutcome::Rejected,
         10,
         {},
         {}},
        {"zero extended segment ignored",
         hexRecord(2, 0, {0x00, 0x00}),
         LineOutcome::Accepted,
         0,
         {},
         {}},
        {"non-zero extended segment refused",
         hexRecord(2, 0, {0x10, 0x00}),
         LineOutcome::Rejected,
         10,
         {},
         {}},
        {"start segment ignored",
         hexRecord(3, 0, {0, 0, 0x40, 0}),
         LineOutcome::Accepted,
         0,
         {},
         {}},
        {"below the image", hexRecord(0, 0x3FF0, data16), LineOutcome::Rejected, 5, {}, {}},
        {"full row",
         hexRecord(0, 0x4000, data16),
         LineOutcome::Accepted,
         0,
         {{0x4000, data16}},
         {1024}},
        {"across two rows",
         hexRecord(0, 0x4008, data16),
         LineOutcome::Accepted,
         0,
         {{0x4008, data16}},
         {1024, 1025}},
        {"FF then 00",
         hexRecord(0, 0x4008, ffThen00),
         LineOutcome::Accepted,
         0,
         {{0x4008, ffThen00}},
         {1025}},
        {"over 0xFFFF into 0x10000",
         hexRecord(0, 0xFFF8, data16),
         LineOutcome::Accepted,
         0,
         {{0xFFF8, data16}},
         {4095, 4096}},
        {"checksum off", badChecksum, LineOutcome::Rejected, 8, {}, {}},
        {"small letters", lower, LineOutcome::Accepted, 0, {{0xABC0, {0xDE, 0xAD}}}, {0xABC}},
        {"type 0 and a letter is data",
         typeLetter,
         LineOutcome::Accepted,
         0,
         {{0x4000, {0x12}}},
         {1024}},
    };
}

TEST(HexReader, Table) {
    for (const HexCase& c : hexCases()) {
        SCOPED_TRACE(c.name);
        MemoryImage image = clearedImage();
        FileTally tally;
        EXPECT_EQ(ReadHexLine(image, c.line, tally), c.outcome);
        EXPECT_EQ(image.intErrCode, c.code);
        EXPECT_EQ(tally.endRecord, c.ends);
        for (const Expect& e : c.stored)
            EXPECT_EQ(bytesAt(image, e.address, e.bytes.size()), e.bytes);
        EXPECT_EQ(flaggedRows(image), c.flagged);
        if (c.stored.empty()) {
            EXPECT_EQ(image.intMemory, clearedImage().intMemory);
        }
    }
}

TEST(HexReader, LenientFieldsSkipBlanks) {
    // A blank inside a field is skipped: " 1" reads as 1. Length and checksum still hold.
    MemoryImage image = clearedImage();
    const std::string line =
        ": 1400000"
        "01"
        "BE";  // count " 1", address 4000, type 00, data 01
    ASSERT_EQ(line.size(), 13u);
    FileTally tally;
    EXPECT_EQ(ReadHexLine(image, line, tally), LineOutcome::Accepted);
    EXPECT_EQ(image.byteAt(0x4000), 0x01);
}

}  // namespace
}  // namespace quorvel::test

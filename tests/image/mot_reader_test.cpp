#include <gtest/gtest.h>

#include "line_reader.h"
#include "reader_test_support.h"

namespace quorvel::test {
namespace {

struct MotCase {
    const char* name;
    std::string line;
    LineOutcome outcome;
    int16_t code;
    std::vector<Expect> stored;  // bytes expected after the line
    std::vector<int> flagged;    // rows flagged afterwards
    uint32_t recordsBefore = 0;  // data records the file had before the line
    bool ends = false;           // the line is the file's end record
};

std::string withChecksumOffByOne(std::string line) {
    char& last = line.back();
    last = last == '0' ? '1' : static_cast<char>(last - 1);
    return line;
}

std::vector<MotCase> motCases() {
    const auto data16 = counting(0x10, 16);
    const auto s1At4008 = sRecord(1, 0x4008, data16);
    std::string cut = s1At4008.substr(0, s1At4008.size() - 6);
    std::string nonHexData = s1At4008;
    nonHexData[12] = 'G';
    std::string nonHexChecksum = s1At4008;
    nonHexChecksum.back() = 'Z';
    std::string lowerCase = sRecord(1, 0x4000, {0xAB, 0xCD});
    for (char& c : lowerCase) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);

    std::vector<int> ffThen00 = repeat(0xFF, 8);
    ffThen00.push_back(0x00);
    ffThen00.resize(16, 0xFF);

    return {
        {"S0 header ignored", sRecord(0, 0, {'H', 'D', 'R'}), LineOutcome::Accepted, 0, {}, {}},
        {"S5 count agrees", "S5030004F8", LineOutcome::Accepted, 0, {}, {}, 4},
        {"S5 count one short", "S5030004F8", LineOutcome::Rejected, 11, {}, {}, 5},
        {"S5 count with no data before", "S5030004F8", LineOutcome::Rejected, 11, {}, {}, 0},
        {"S5 count checksum off", "S5030004F7", LineOutcome::Rejected, 8, {}, {}, 4},
        {"S5 count cut short", "S50300", LineOutcome::Rejected, 3, {}, {}, 0},
        {"S6 24-bit count agrees", "S60401117079", LineOutcome::Accepted, 0, {}, {}, 70000},
        {"S6 count is not read as 16 bits",
         "S60401117079",
         LineOutcome::Rejected,
         11,
         {},
         {},
         70000 - 65536},
        {"S9 end noted", "S9034000BC", LineOutcome::Accepted, 0, {}, {}, 0, true},
        {"S8 end noted", "S804004000BB", LineOutcome::Accepted, 0, {}, {}, 0, true},
        {"S7 end noted", "S70500004000BA", LineOutcome::Accepted, 0, {}, {}, 0, true},
        {"S followed by a letter ignored", "SX13400000", LineOutcome::Accepted, 0, {}, {}},
        {"empty line", "", LineOutcome::Rejected, 9, {}, {}},
        {"small s", "s1134000", LineOutcome::Rejected, 9, {}, {}},
        {"S1 across two rows",
         s1At4008,
         LineOutcome::Accepted,
         0,
         {{0x4008, data16}},
         {1024, 1025}},
        {"S1 all FF sets no flag",
         sRecord(1, 0x4008, repeat(0xFF, 16)),
         LineOutcome::Accepted,
         0,
         {{0x4008, repeat(0xFF, 16)}},
         {}},
        {"FF then 00 flags only the second row",
         sRecord(1, 0x4008, ffThen00),
         LineOutcome::Accepted,
         0,
         {{0x4008, ffThen00}},
         {1025}},
        {"S1 below the image",
         sRecord(1, 0x3FF0, data16),
         LineOutcome::OutsideImage,
         0,
         {{0x4000, repeat(0xFF, 16)}},
         {}},
        {"S2 uses all six address digits",
         sRecord(2, 0x123450, data16),
         LineOutcome::OutsideImage,
         0,
         {{0x23450, repeat(0xFF, 16)}},
         {}},
        {"S2 inside the image",
         sRecord(2, 0x023450, data16),
         LineOutcome::Accepted,
         0,
         {{0x23450, data16}},
         {0x2345}},
        {"S3 last row",
         sRecord(3, 0x00023FF0, data16),
         LineOutcome::Accepted,
         0,
         {{0x23FF0, data16}},
         {9215}},
        {"S3 running past the image stores nothing",
         sRecord(3, 0x00023FF8, data16),
         LineOutcome::OutsideImage,
         0,
         {{0x23FF8, repeat(0xFF, 8)}},
         {}},
        {"wrong checksum",
         withChecksumOffByOne(s1At4008),
         LineOutcome::Rejected,
         8,
         {{0x4008, repeat(0xFF, 16)}},
         {}},
        {"line shorter than its count",
         cut,
         LineOutcome::Rejected,
         3,
         {{0x4008, repeat(0xFF, 16)}},
         {}},
        {"non-hex data character", nonHexData, LineOutcome::Rejected, 3, {}, {}},
        {"non-hex checksum character", nonHexChecksum, LineOutcome::Rejected, 3, {}, {}},
        {"count smaller than the address", "S1024000BD", LineOutcome::Rejected, 3, {}, {}},
        {"count missing", "S1", LineOutcome::Rejected, 3, {}, {}},
        {"record without data",
         sRecord(1, 0x4000, {}),
         LineOutcome::Accepted,
         0,
         {{0x4000, {0xFF}}},
         {}},
        {"small hex letters accepted",
         lowerCase,
         LineOutcome::Accepted,
         0,
         {{0x4000, {0xAB, 0xCD}}},
         {1024}},
        {"characters after the checksum ignored",
         s1At4008 + "  junk",
         LineOutcome::Accepted,
         0,
         {{0x4008, data16}},
         {1024, 1025}},
    };
}

TEST(MotReader, Table) {
    for (const MotCase& c : motCases()) {
        SCOPED_TRACE(c.name);
        MemoryImage image = clearedImage();
        image.intErrCode = 77;
        FileTally tally;
        tally.dataRecords = c.recordsBefore;
        EXPECT_EQ(ReadMotLine(image, c.line, tally), c.outcome);
        EXPECT_EQ(image.intErrCode, c.code);
        EXPECT_EQ(tally.endRecord, c.ends);
        for (const Expect& e : c.stored)
            EXPECT_EQ(bytesAt(image, e.address, e.bytes.size()), e.bytes);
        EXPECT_EQ(flaggedRows(image), c.flagged);
        if (c.outcome != LineOutcome::Accepted || c.stored.empty()) {
            // A rejected or ignored line leaves every byte as it was.
            EXPECT_EQ(image.intMemory, clearedImage().intMemory);
        }
    }
}

TEST(MotReader, FlagsOnlyEverSet) {
    MemoryImage image = clearedImage();
    FileTally tally;
    ASSERT_EQ(ReadMotLine(image, sRecord(1, 0x4000, {0x01}), tally), LineOutcome::Accepted);
    ASSERT_EQ(ReadMotLine(image, sRecord(1, 0x4000, repeat(0xFF, 16)), tally),
              LineOutcome::Accepted);
    EXPECT_TRUE(image.rowFlagged(1024));
    EXPECT_EQ(image.byteAt(0x4000), 0xFF);
    EXPECT_EQ(tally.dataRecords, 2u);
}

}  // namespace
}  // namespace quorvel::test

#include <gtest/gtest.h>

#include "block_walk.h"
#include "range_checksum.h"
#include "reader_test_support.h"

namespace quorvel::test {
namespace {

struct SumCase {
    const char* name;
    const char* start;
    const char* stop;
    bool ok;
    const char* text;
};

TEST(RangeChecksum, ClearedImage) {
    const MemoryImage image = clearedImage();
    const std::vector<SumCase> cases = {
        {"default range", "C000", "FFFF", true, "3FC000"},
        {"small letters", "c000", "ffff", true, "3FC000"},
        {"blanks skipped", " C0 00", "\tFFFF", true, "3FC000"},
        {"one byte", "4000", "4000", true, "FF"},
        {"stop below start", "5000", "4000", true, "0"},
        {"empty stop reads 0, below start", "C000", "", true, "0"},
        {"whole image", "4000", "23FFF", true, "1FE0000"},
        {"stops at first non-digit", "C000xyz", "FFFFg1", true, "3FC000"},
        {"empty start reads 0: outside", "", "FFFF", false, ""},
        {"start below the image", "3FFF", "4000", false, ""},
        {"stop beyond the image", "23FFF", "24000", false, ""},
        {"nine digits, leading zeros", "000004000", "4000", true, "FF"},
        {"leading zeros on both", "0000C000", "00000000000FFFF", true, "3FC000"},
        {"twenty digits to the image end", "00000000000000023FFF", "0023FFF", true, "FF"},
        {"nine digits outside the image", "100004000", "100004000", false, ""},
        {"beyond 32 bits, stop below start", "100000000", "4000", false, ""},
        {"largest 32-bit start, stop below", "FFFFFFFF", "4000", true, "0"},
        {"overflows 64 bits", "4000", "1FFFFFFFFFFFFFFFFF", false, ""},
        {"huge", "FFFFFFFF", "FFFFFFFF", false, ""},
    };
    for (const SumCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChecksumResult r = RangeChecksum(image, c.start, c.stop);
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.text, c.text);
        if (!c.ok) {
            EXPECT_EQ(r.error, kRangeOutsideImage);
        }
    }
}

TEST(RangeChecksum, BeforeAnyLoadEverythingIsZero) {
    const MemoryImage image;
    EXPECT_EQ(RangeChecksum(image, "C000", "FFFF").text, "0");
}

TEST(RangeChecksum, AddsTheBytesOfTheRange) {
    MemoryImage image = clearedImage();
    image.setValue(1024, 0, 0x01);
    image.setValue(1024, 1, 0x02);
    image.setValue(9215, 15, 0x10);
    EXPECT_EQ(RangeChecksum(image, "4000", "4001").text, "3");
    EXPECT_EQ(RangeChecksum(image, "23FFE", "23FFF").text, "10F");
}

TEST(BlockWalk, PositionsAndGap) {
    const std::vector<int> starts = programBlockStarts();
    ASSERT_EQ(starts.size(), 120u);
    EXPECT_EQ(starts.front(), 1024);
    EXPECT_EQ(starts[39], 3520);
    EXPECT_EQ(starts[40], 4096);
    EXPECT_EQ(starts.back(), 9152);
    MemoryImage image = clearedImage();
    image.flagRow(3583);  // 0xDFF0, the last row before 0xE000
    image.flagRow(4096);  // 0x10000, the first row after 0xFFFF
    EXPECT_FALSE(gapHoldsData(image));
    image.flagRow(3600);  // inside 0xE000..0xFFFF: never sent
    image.flagRow(1087);  // last row of the first block
    image.flagRow(9215);
    EXPECT_EQ(countBlocksToSend(image), 4);
    EXPECT_TRUE(gapHoldsData(image));
    for (int row : {3584, 4095}) {
        MemoryImage edge = clearedImage();
        edge.flagRow(row);
        EXPECT_TRUE(gapHoldsData(edge)) << row;
        EXPECT_EQ(countBlocksToSend(edge), 0) << row;
    }
}

}  // namespace
}  // namespace quorvel::test

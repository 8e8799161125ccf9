#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "image_file_read.h"
#include "image_loader.h"
#include "reader_test_support.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

class LoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() /
            ("quorvel_load_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

    fs::path dir_;
};

const std::string kRow0 = sRecord(1, 0x4000, counting(0, 16));
const std::string kRow1 = sRecord(1, 0x4010, counting(0x40, 16));
const std::string kHexRow0 = hexRecord(0, 0x4000, counting(0, 16));

struct LineEndCase {
    const char* name;
    std::string text;
    bool ok;
    int16_t code;
    int32_t line;
};

TEST_F(LoadTest, LineEndsAndEmptyLines) {
    const std::vector<LineEndCase> cases = {
        {"CR LF", kRow0 + "\r\n" + kRow1 + "\r\n", true, 0, 0},
        {"CR only", kRow0 + "\r" + kRow1 + "\r", true, 0, 0},
        {"LF only", kRow0 + "\n" + kRow1 + "\n", true, 0, 0},
        {"last line without terminator", kRow0 + "\r\n" + kRow1, true, 0, 0},
        {"mixed", kRow0 + "\n" + kRow1 + "\r\n", true, 0, 0},
        {"empty line in the middle", kRow0 + "\r\n\r\n" + kRow1, false, 9, 2},
        {"second line break at the end", kRow0 + "\r\n" + kRow1 + "\r\n\r\n", false, 9, 3},
        {"second LF at the end", kRow0 + "\n" + kRow1 + "\n\n", false, 9, 3},
        {"CR then CR LF is an empty line", kRow0 + "\r\r\n" + kRow1, false, 9, 2},
        {"empty file", "", true, 0, 0},
    };
    for (const LineEndCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image;
        const LoadResult r = LoadImageFile(write("f.mot", c.text), image);
        EXPECT_EQ(r.ok(), c.ok);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.line, c.line);
        if (c.ok && !c.text.empty()) {
            EXPECT_EQ(bytesAt(image, 0x4000, 32)[17], 0x41);
            EXPECT_EQ(flaggedRows(image), (std::vector<int>{1024, 1025}));
        }
    }
}

TEST_F(LoadTest, EmptyFileGivesClearedImage) {
    MemoryImage image;
    ASSERT_TRUE(LoadImageFile(write("empty.mot", ""), image).ok());
    EXPECT_EQ(image, clearedImage());
}

TEST_F(LoadTest, ReportsCodeAndLineAndKeepsPreviousImage) {
    MemoryImage image;
    ASSERT_TRUE(LoadImageFile(write("good.mot", kRow0 + "\r\n"), image).ok());
    const MemoryImage before = image;

    std::string bad = kRow1;
    bad.back() = bad.back() == '0' ? '1' : '0';
    const LoadResult r =
        LoadImageFile(write("bad.mot", kRow1 + "\r\n" + kRow1 + "\r\n" + bad), image);
    EXPECT_EQ(r.kind, LoadResult::Kind::LineRejected);
    EXPECT_EQ(r.message(), "Error Code = 8 ; 行番号 = 3");
    EXPECT_EQ(r.title(), "Error");
    EXPECT_EQ(image, before);
}

TEST_F(LoadTest, FileErrors) {
    MemoryImage image;
    const MemoryImage untouched = image;
    const std::string fifo = (dir_ / "fifo.mot").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opening it would wait for a writer
    const std::string huge = write("huge.mot", "");
    fs::resize_file(huge, kLargestImageFile + 1);  // sparse: takes no room on the disk
    using F = FileReadFailure;
    const std::vector<std::pair<std::string, F>> paths = {
        {(dir_ / "missing.mot").string(), F::Missing},
        {dir_.string(), F::Directory},
        {write("outside.mot", kRow0 + "\r\n" + sRecord(1, 0x3FF0, {1})), F::None},  // line 2
        {fifo, F::NotRegular},
        {"/dev/zero", F::NotRegular},  // endless
        {huge, F::TooLarge},
    };
    for (const auto& [p, why] : paths) {
        SCOPED_TRACE(p);
        const LoadResult r = LoadImageFile(p, image);
        EXPECT_EQ(r.kind, LoadResult::Kind::FileError);
        EXPECT_EQ(r.readFailure, why);
        EXPECT_EQ(r.line, why == F::None ? 2 : 0);
        EXPECT_EQ(r.message(), "File Open Error");
        EXPECT_EQ(r.title(), "ERROR");
        EXPECT_EQ(image, untouched);  // all 0, no flags: nothing was ever loaded
    }
}

TEST_F(LoadTest, ReadStopsAtTheLimit) {
    struct Case {
        const char* name;
        std::string path;
        std::uintmax_t limit;
        bool read;
    };
    const std::string tenBytes = write("ten.mot", "S1\r\nS9\r\nab");
    const std::vector<Case> cases = {
        {"exactly the limit", tenBytes, 10, true},
        {"one byte over", tenBytes, 9, false},
        // Says 0 bytes when looked at, yet reads far more: like a file that grows meanwhile.
        {"more than its size said", "/proc/self/maps", 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!fs::exists(c.path)) continue;
        std::string text = "left over";
        EXPECT_EQ(readImageFileText(c.path, text, c.limit), c.read);
        EXPECT_EQ(text, c.read ? "S1\r\nS9\r\nab" : "");
    }
}

TEST_F(LoadTest, ReaderChosenByLastThreeLetters) {
    struct Case {
        const char* name;
        bool hex;
    };
    const std::vector<Case> cases = {{"a.hex", true},  {"a.HEX", true},  {"a.HeX", true},
                                     {"ahex", true},   {"a.mot", false}, {"a.S19", false},
                                     {"noext", false}, {"a.hx", false},  {"x", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readerForPath(c.name) == &ReadHexLine, c.hex);
        MemoryImage image;
        const LoadResult r =
            LoadImageFile(write(c.name, (c.hex ? kHexRow0 : kRow0) + "\r\n"), image);
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(image.rowFlagged(1024));
    }
}

TEST_F(LoadTest, HexEndRecordDoesNotStopTheLoad) {
    MemoryImage image;
    const std::string text = ":00000001FF\r\n" + kHexRow0 + "\r\n";
    ASSERT_TRUE(LoadImageFile(write("after_end.hex", text), image).ok());
    EXPECT_TRUE(image.rowFlagged(1024));
}

TEST_F(LoadTest, EndAndCountRecords) {
    struct Case {
        const char* name;
        const char* file;
        std::string text;
        int16_t code;          // 0: the file loads
        int32_t line;          // of the refused count record
        uint32_t says, found;  // the count record's count, the data records before it
        const char* warning;   // after the file's path; "" for none
    };
    const std::string s9 = "S9030000FC\r\n";
    const std::string noEnd = " has no end record (S7, S8 or S9): the file may be cut short";
    const std::vector<Case> cases = {
        {"whole S-record file", "a.mot", kRow0 + "\r\n" + kRow1 + "\r\n" + s9, 0, 0, 0, 0, ""},
        {"cut at a line end", "b.mot", kRow0 + "\r\n", 0, 0, 0, 0, noEnd.c_str()},
        {"empty file", "c.mot", "", 0, 0, 0, 0, noEnd.c_str()},
        {"S5 agrees", "d.mot", kRow0 + "\r\n" + kRow1 + "\r\nS5030002FA\r\n" + s9, 0, 0, 0, 0, ""},
        {"S5 says more than came", "e.mot", kRow0 + "\r\nS5030002FA\r\n" + s9, 11, 2, 2, 1, ""},
        // A count that agrees with every data record proves the file whole without an end.
        {"S5 agrees, no end record", "i.mot", kRow0 + "\r\n" + kRow1 + "\r\nS5030002FA\r\n", 0, 0,
         0, 0, ""},
        {"data after the S5, no end record", "j.mot", kRow0 + "\r\nS5030001FB\r\n" + kRow1 + "\r\n",
         0, 0, 0, 0, noEnd.c_str()},
        {"S6 agrees", "f.mot", kRow0 + "\r\n" + kRow1 + "\r\nS604000002F9\r\nS804000000FB", 0, 0, 0,
         0, ""},
        {"Intel HEX with its end", "g.hex", kHexRow0 + "\r\n:00000001FF\r\n", 0, 0, 0, 0, ""},
        {"Intel HEX cut at a line end", "h.hex", kHexRow0 + "\r\n", 0, 0, 0, 0,
         " has no end-of-file record (type 01): the file may be cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write(c.file, c.text);
        MemoryImage image;
        const LoadResult r = LoadImageFile(path, image);
        EXPECT_EQ(r.ok(), c.code == 0);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.line, c.line);
        EXPECT_EQ(r.countSays, c.says);
        EXPECT_EQ(r.dataRecords, c.found);
        const std::vector<std::string> warnings =
            *c.warning ? std::vector<std::string>{path + c.warning} : std::vector<std::string>{};
        EXPECT_EQ(r.warnings, warnings);
        // A warning leaves the image as the lines gave it.
        EXPECT_EQ(image.rowFlagged(1024), c.code == 0 && !c.text.empty());
    }
}

TEST_F(LoadTest, SecondLoadClearsTheFirst) {
    MemoryImage image;
    ASSERT_TRUE(LoadImageFile(write("one.mot", kRow0), image).ok());
    ASSERT_TRUE(LoadImageFile(write("two.mot", kRow1), image).ok());
    EXPECT_EQ(flaggedRows(image), std::vector<int>{1025});
    EXPECT_EQ(image.byteAt(0x4000), 0xFF);
    MemoryImage again;
    ASSERT_TRUE(LoadImageFile(write("two.mot", kRow1), again).ok());
    EXPECT_EQ(image, again);
}

}  // namespace
}  // namespace quorvel::test

// Why a firmware file could not be loaded, in the plain lines both front ends show: the file
// and the reason, or the line and what its record's error code means, with a second line on
// converting Intel HEX this tool cannot read.

#include "load_failure_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvel;

namespace {

LoadResult rejected(int16_t code, int32_t line) {
    LoadResult r;
    r.kind = LoadResult::Kind::LineRejected;
    r.code = code;
    r.line = line;
    return r;
}

LoadResult unreadable(FileReadFailure why, int32_t line = 0) {
    LoadResult r;
    r.kind = LoadResult::Kind::FileError;
    r.readFailure = why;
    r.line = line;
    return r;
}

TEST(LoadFailureLines, NameTheFileAndTheReason) {
    struct Case {
        std::string path;
        LoadResult result;
        std::string first;
        size_t lines;
    };
    const std::vector<Case> cases = {
        {"fw.mot", unreadable(FileReadFailure::Missing), "cannot read fw.mot: no such file", 1},
        {"fw", unreadable(FileReadFailure::Directory), "cannot read fw: is a directory", 1},
        {"/dev/zero", unreadable(FileReadFailure::NotRegular),
         "cannot read /dev/zero: not a regular file (a FIFO or a device)", 1},
        {"big.mot", unreadable(FileReadFailure::TooLarge),
         "cannot read big.mot: larger than 64 MiB, far more than any firmware file", 1},
        {"fw.mot", unreadable(FileReadFailure::None, 7),
         "fw.mot line 7: the record holds data outside 0x4000-0x23FFF, the image the device "
         "takes",
         1},
        {"fw.mot", rejected(8, 3), "fw.mot line 3: checksum does not match (code 8)", 1},
        {"fw.mot", rejected(9, 2),
         "fw.mot line 2: the line is empty or does not start with 'S' (code 9)", 1},
        {"fw.hex", rejected(8, 3), "fw.hex line 3: checksum does not match (code 8)", 1},
        // Extended addresses and long records: the tool says what it reads and how to convert.
        {"fw.HEX", rejected(10, 1),
         "fw.HEX line 1: the record type is not 00, 01, 02 or 03 (or a type 02 record sets a "
         "segment) (code 10)",
         2},
        {"fw.hex", rejected(2, 4),
         "fw.hex line 4: the record holds more than 16 data bytes (code 2)", 2},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines = loadFailureLines(c.path, c.result);
        ASSERT_EQ(lines.size(), c.lines) << c.first;
        EXPECT_EQ(lines.front(), c.first);
        if (c.lines == 2) {
            EXPECT_NE(lines[1].find("srec_cat " + c.path + " -intel -o firmware.mot -motorola"),
                      std::string::npos);
        }
    }
}

}  // namespace

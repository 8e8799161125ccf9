// Texts of the command line that scripts and technicians read: the SHA-256 that names a
// firmware file in the JSON report, and the plain reasons a file could not be loaded.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "json_run.h"
#include "load_failure_text.h"
#include "sha256.h"

namespace quorvel::cli {
namespace {

TEST(Sha256, KnownDigestsAcrossTheBlockBoundaries) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
    };
    for (const auto& [text, digest] : cases) EXPECT_EQ(sha256Hex(text), digest) << text.size();
}

// A record must name the firmware that was written, even when the file changes meanwhile.
TEST(ImageFacts, HashOfTheBytesLoadedNotOfTheFileLater) {
    const std::string path = testing::TempDir() + "facts.mot";
    const auto write = [&](const char* text) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    write("S9030000FC\r\n");
    std::string bytes;
    MemoryImage image;
    ASSERT_TRUE(LoadImageFile(path, image, &bytes).ok());
    EXPECT_EQ(bytes, "S9030000FC\r\n");
    noteLoadedBytes(path, bytes);
    write("changed");
    EXPECT_EQ(imageFacts(path, image).sha256, sha256Hex("S9030000FC\r\n"));
}

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
}  // namespace quorvel::cli

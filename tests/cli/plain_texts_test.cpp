// Texts of the command line that scripts and technicians read: the SHA-256 that names a
// firmware file in the JSON report, the plain reasons a file could not be loaded, and outside
// text as the terminal shows it.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>
#include <vector>

#include "json_run.h"
#include "load_failure_text.h"
#include "sha256.h"
#include "text_out.h"

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

// Outside text on the terminal: nothing in it acts on the terminal or ends its line, it reads as
// what it is, and a JSON report shown so stays the same JSON.
TEST(ShownText, ControlCharactersEscaped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"COM1  /dev/serial/by-id/usb-FTDI_A10K3Q7Z-if00",
         "COM1  /dev/serial/by-id/usb-FTDI_A10K3Q7Z-if00"},
        {"C:\\Quorvel\\fw.mot", "C:\\Quorvel\\fw.mot"},
        {"Ü-日本 e\xcc\x81 \xe2\x9c\x93 \xf0\x9f\x98\x80",
         "Ü-日本 e\xcc\x81 \xe2\x9c\x93 \xf0\x9f\x98\x80"},
        {"U-7\nPASS  COM9\r\t", "U-7\\nPASS  COM9\\r\\t"},
        {std::string("\x1b[2J\x00\x07\x7f", 7), "\\x1b[2J\\x00\\x07\\u007f"},
        // Not UTF-8: a stray byte, an overlong form, a surrogate, a sequence cut short.
        {"\xff \xc0\x80 \xed\xa0\x80 \xe6\x97", "\\xff \\xc0\\x80 \\xed\\xa0\\x80 \\xe6\\x97"},
        // The C1 escape, a right-to-left override, a line separator, a tag beyond U+FFFF.
        {"\xc2\x9b"
         "2J \xe2\x80\xae \xe2\x80\xa8 \xf3\xa0\x80\x81",
         "\\u009b2J \\u202e \\u2028 \\udb40\\udc01"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(shownText(text), shown);
        EXPECT_EQ(shownText(shown), shown);
        const QJsonDocument json(QJsonObject{{"port", QString::fromStdString(text)}});
        const std::string compact = json.toJson(QJsonDocument::Compact).toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(shownText(compact))), json)
            << shownText(compact);
    }
}

}  // namespace
}  // namespace quorvel::cli

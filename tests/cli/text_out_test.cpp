// Outside text as the terminal shows it: control characters, bytes that are not UTF-8 and the
// characters that reorder or break a line shown escaped, everything else as it is, and JSON
// still JSON after it.

#include "text_out.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {
namespace {

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

// A text cut to fit a column: counted in characters as shown, never inside a UTF-8 sequence,
// the cut marked at the end or, for a path, at the front.
TEST(ShownText, FittedToAColumn) {
    struct Case {
        std::string text;
        size_t most;
        bool keepEnd;
        std::string fitted;
    };
    const std::vector<Case> cases = {
        {"erase answered 'E' (0x45)", 25, false, "erase answered 'E' (0x45)"},
        {"erase answered 'E' (0x45)", 12, false, "erase ans..."},
        {"日本語のユニット", 6, false, "日本語..."},
        {"/dev/serial/by-id/usb-FTDI_A10K3Q7Z-if00-port0", 16, true, "...7Z-if00-port0"},
        {"/dev/ü日本", 6, true, "...ü日本"},
        {"U-\\x1b[2J", 9, false, "U-\\x1b[2J"},
        {"U-\\x1b[2J", 5, false, "U-..."},
        {"U-\x1b[2J", 8, false, "U-\\x1..."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shownFitted(c.text, c.most, c.keepEnd), c.fitted) << c.text;
        EXPECT_LE(characterCount(shownFitted(c.text, c.most, c.keepEnd)), c.most) << c.text;
    }
}

}  // namespace
}  // namespace quorvel::cli

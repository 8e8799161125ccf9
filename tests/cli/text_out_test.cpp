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

}  // namespace
}  // namespace quorvel::cli

#include "text_out.h"

#include <QChar>
#include <QString>
#include <QUtf8StringView>
#include <algorithm>
#include <bit>

namespace quorvel::cli {
namespace {

bool plainAscii(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7F;
}

// Characters that change what the terminal does or how the line reads instead of showing.
bool hidden(char32_t c) {
    switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
    }
}

void appendHex(std::string& out, const char* form, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, form, value);
    out += text;
}

void appendAscii(std::string& out, unsigned char byte) {
    if (plainAscii(byte)) {
        out += static_cast<char>(byte);
    } else if (byte == '\n' || byte == '\r' || byte == '\t') {
        out += byte == '\n' ? "\\n" : byte == '\r' ? "\\r" : "\\t";
    } else {
        // DEL as the format characters are, the other controls as bytes.
        appendHex(out, byte == 0x7F ? "\\u%04x" : "\\x%02x", byte);
    }
}

}  // namespace

std::string shownText(std::string_view text) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return plainAscii(static_cast<unsigned char>(c)); })) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            appendAscii(out, byte);
            ++i;
            continue;
        }
        // A lead byte tells the length of its sequence; Qt judges the whole sequence (no
        // overlong forms, no surrogates, nothing beyond U+10FFFF).
        const auto length = static_cast<size_t>(std::countl_one(byte));
        const std::string_view sequence = text.substr(i, length);
        if (length < 2 || length > 4 || sequence.size() < length ||
            !QUtf8StringView(sequence).isValidUtf8()) {
            appendHex(out, "\\x%02x", byte);
            ++i;
            continue;
        }
        const QString decoded = QString::fromUtf8(sequence.data(), qsizetype(length));
        const char32_t c = decoded.size() == 2 ? QChar::surrogateToUcs4(decoded[0], decoded[1])
                                               : char32_t(decoded[0].unicode());
        if (!hidden(c)) {
            out += sequence;
        } else {
            for (const QChar unit : decoded) appendHex(out, "\\u%04x", unit.unicode());
        }
        i += length;
    }
    return out;
}

size_t characterCount(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), startsCharacter));
}

std::string padded(std::string text, size_t width) {
    const size_t n = characterCount(text);
    if (n < width) text.append(width - n, ' ');
    return text;
}

std::vector<std::string> tableLines(const std::vector<std::vector<std::string>>& rows,
                                    size_t leftColumns) {
    std::vector<std::vector<std::string>> shown;
    std::vector<size_t> width;
    for (const auto& row : rows) {
        std::vector<std::string>& cells = shown.emplace_back();
        for (const std::string& cell : row) {
            cells.push_back(shownText(cell));
            if (width.size() < cells.size()) width.push_back(0);
            width[cells.size() - 1] =
                std::max(width[cells.size() - 1], characterCount(cells.back()));
        }
    }
    std::vector<std::string> lines;
    for (const auto& cells : shown) {
        std::string line;
        for (size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) line += "  ";
            const std::string pad(width[c] - characterCount(cells[c]), ' ');
            line += c < leftColumns ? cells[c] + pad : pad + cells[c];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string shownFitted(std::string_view text, size_t most, bool keepEnd) {
    std::string shown = shownText(text);
    constexpr size_t kMark = 3;
    if (characterCount(shown) <= most || most <= kMark) return shown;
    const size_t keep = most - kMark;
    if (keepEnd) {
        size_t at = shown.size();
        for (size_t kept = 0; at > 0 && kept < keep;) kept += startsCharacter(shown[--at]);
        return "..." + shown.substr(at);
    }
    size_t at = 0;
    for (size_t kept = 0; at < shown.size(); ++at) {
        if (startsCharacter(shown[at]) && kept++ == keep) break;
    }
    return shown.substr(0, at) + "...";
}

void writeShown(std::FILE* stream, std::string_view text) {
    writeControl(stream, shownText(text));
}

void writeLine(std::FILE* stream, std::string_view line) {
    writeControl(stream, shownText(line) + "\n");
}

// Several lines go out in one write, as the block they are: a reader that stops at the line it
// wanted (grep -q, head -1) leaves no later write to fail, and no other thread's line comes
// between them.
void writeLines(std::FILE* stream, const std::vector<std::string>& lines) {
    std::string block;
    for (const std::string& line : lines) block += shownText(line) + "\n";
    writeControl(stream, block);
}

void writeText(std::FILE* stream, std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    writeLines(stream, lines);
}

void writeControl(std::FILE* stream, std::string_view control) {
    std::fwrite(control.data(), 1, control.size(), stream);
    std::fflush(stream);
}

}  // namespace quorvel::cli

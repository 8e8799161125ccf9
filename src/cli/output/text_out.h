#pragma once
// Every text quorvel-flash prints on its standard output and error goes out here. Much of it
// comes from outside: port names and the device paths behind links, file names, unit ids, what
// a USB adapter calls itself, the bytes a device answered, the lines of a record file. A
// control character among them would act on the operator's terminal (an escape sequence clears
// the screen, a line end starts a forged result line), so every line is shown with its control
// characters escaped. Only the tool's own line ends and the cursor movement of its progress
// displays reach the terminal as they are.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

// `text` as one line on a terminal: a line end, carriage return or tab as \n, \r, \t, any other
// C0 control character and each byte that is not UTF-8 as \xNN (\x1b for an escape), and DEL,
// the C1 controls, the format characters (bidirectional overrides, zero-width ones) and the
// Unicode line and paragraph separators as \uXXXX (a pair of them beyond U+FFFF). Everything
// else, the backslash included, stays as it is, so that Windows paths read as typed. What it
// returns contains nothing it would change: showing a text twice shows it as once, and a JSON
// text stays JSON with the same values.
std::string shownText(std::string_view text);

// `text` shown, and cut to at most `most` characters (of UTF-8, never inside one), the cut marked
// with "...": at the end, or with `keepEnd` at the front (a long path keeps its last part).
std::string shownFitted(std::string_view text, size_t most, bool keepEnd = false);
// How many characters UTF-8 `text` holds.
size_t characterCount(std::string_view text);
// `text` with blanks after it up to `width` characters, so that columns of UTF-8 names line up;
// a longer text stays as it is.
std::string padded(std::string text, size_t width);
// Rows of cells as lines of columns two blanks apart, measured in characters: the first
// `leftColumns` aligned to the left, the others (counts, times) to the right. Each cell is shown
// first (shownText), so that a name from outside takes the width the terminal gives it.
std::vector<std::string> tableLines(const std::vector<std::vector<std::string>>& rows,
                                    size_t leftColumns);
// Whether a byte of UTF-8 text starts a character: every byte but a continuation byte does.
inline bool startsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// One line, shown, then its line end: a line end within `line` is shown as \n.
void writeLine(std::FILE* stream, std::string_view line);
void writeLines(std::FILE* stream, const std::vector<std::string>& lines);
// The tool's own text of several lines (a help page): each line shown, its line ends kept.
void writeText(std::FILE* stream, std::string_view text);
// Text that stays on its line (a question waiting for its answer, a bar redrawn in place).
void writeShown(std::FILE* stream, std::string_view text);
// The tool's own terminal control, as it is: a progress bar's carriage return, the cursor
// movement that redraws a block of lines. Never give it outside text.
void writeControl(std::FILE* stream, std::string_view control);

}  // namespace quorvel::cli

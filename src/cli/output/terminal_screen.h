#pragma once
// A terminal drawn on by cursor addressing, for a board that stays in place while its rows
// change. The control sequences come from the terminal's own terminfo entry (TERM), so the same
// board shows on a Linux console, an xterm or whatever else terminfo describes. This file alone
// talks to terminfo; a build without it (Windows) opens no screen, and its callers print plain
// lines instead.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::cli {

// How a piece of a row is shown: colours only where the terminal has them and they are wanted.
enum class Ink { Plain, Bold, Green, Red, Yellow };

struct Span {
    std::string text;  // shown as it is: outside text must be passed through shownText() first
    Ink ink = Ink::Plain;
};
using ScreenRow = std::vector<Span>;

class TerminalScreen {
  public:
    // The screen of `stream`, or none: not a terminal, a terminal type that terminfo does not
    // know or that cannot place the cursor, or no terminfo in this build. Colours are used
    // when the terminal has them, unless NO_COLOR is set to something.
    static std::unique_ptr<TerminalScreen> open(std::FILE* stream);
    ~TerminalScreen();
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    // Draws `rows` from the top of the screen, each cut to the screen's width, and clears what
    // lies under them. The first drawing clears the screen.
    void draw(const std::vector<ScreenRow>& rows);
    // Puts the cursor on the line under the rows, in plain colours, for the text that follows.
    void leave();

  private:
    struct Terminal;
    explicit TerminalScreen(std::FILE* stream, std::unique_ptr<Terminal> terminal);

    std::FILE* stream_;
    std::unique_ptr<Terminal> terminal_;
    size_t drawnRows_ = 0;
    bool cleared_ = false;
};

}  // namespace quorvel::cli

#include "terminal_screen.h"

#include <cstdlib>

#include "text_out.h"

#ifdef QUORVEL_HAVE_TERMINFO
#include <sys/ioctl.h>
#include <term.h>
#include <unistd.h>
#endif

namespace quorvel::cli {

#ifdef QUORVEL_HAVE_TERMINFO
namespace {

// tputs hands the bytes of a capability over one at a time: they are gathered here, on the one
// thread that draws, and written with the rest of the drawing.
thread_local std::string* gathered = nullptr;

int gather(int c) {
    gathered->push_back(static_cast<char>(c));
    return c;
}

// A string capability of the terminal, empty when it has none.
std::string capability(const char* name) {
    const char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<const char*>(-1)) return {};
    return value;
}

// `cap` as the terminal wants it sent (padding resolved), appended to `out`.
void put(std::string& out, const std::string& cap) {
    if (cap.empty()) return;
    gathered = &out;
    tputs(cap.c_str(), 1, gather);
    gathered = nullptr;
}

// Colour numbers of the terminal's basic palette.
constexpr int kRed = 1;
constexpr int kGreen = 2;
constexpr int kYellow = 3;
constexpr int kPaletteColours = 8;

}  // namespace

struct TerminalScreen::Terminal {
    TERMINAL* entry = nullptr;
    int fd = -1;
    std::string moveTo;    // cup: the cursor to a row and column
    std::string clearEol;  // el
    std::string clearEos;  // ed, or el where the terminal has none
    std::string clearAll;  // clear
    std::string plain;     // sgr0
    std::string bold;
    std::string colour;  // setaf, empty when colours are not used
    int fallbackWidth = 80;

    ~Terminal() {
        if (entry != nullptr) del_curterm(entry);
    }
    int width() const {
        struct winsize size {};
        if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
        return fallbackWidth;
    }
    std::string at(int row, int col) const { return tiparm(moveTo.c_str(), row, col); }
    // Every ink but the plain one is bold; the coloured ones add their colour where it is used.
    void ink(std::string& out, Ink ink) const {
        if (ink == Ink::Plain) return;
        put(out, bold);
        if (ink == Ink::Bold || colour.empty()) return;
        put(out, tiparm(colour.c_str(), ink == Ink::Green ? kGreen
                                        : ink == Ink::Red ? kRed
                                                          : kYellow));
    }
};

std::unique_ptr<TerminalScreen> TerminalScreen::open(std::FILE* stream) {
    const int fd = fileno(stream);
    if (!isatty(fd)) return nullptr;
    auto terminal = std::make_unique<Terminal>();
    int problem = 0;
    // With a place for the error, setupterm says nothing itself and does not end the program.
    if (setupterm(nullptr, fd, &problem) != 0) return nullptr;
    terminal->entry = cur_term;
    terminal->fd = fd;
    terminal->moveTo = capability("cup");
    terminal->clearEol = capability("el");
    terminal->clearEos = capability("ed");
    if (terminal->clearEos.empty()) terminal->clearEos = terminal->clearEol;
    terminal->clearAll = capability("clear");
    terminal->plain = capability("sgr0");
    terminal->bold = capability("bold");
    if (terminal->moveTo.empty() || terminal->clearEol.empty() || terminal->clearAll.empty()) {
        return nullptr;
    }
    const char* noColour = std::getenv("NO_COLOR");
    const bool colourWanted = noColour == nullptr || *noColour == '\0';
    if (colourWanted && tigetnum("colors") >= kPaletteColours && !terminal->plain.empty()) {
        terminal->colour = capability("setaf");
    }
    if (const int cols = tigetnum("cols"); cols > 0) terminal->fallbackWidth = cols;
    return std::unique_ptr<TerminalScreen>(new TerminalScreen(stream, std::move(terminal)));
}

void TerminalScreen::draw(const std::vector<ScreenRow>& rows) {
    const Terminal& t = *terminal_;
    // The last column is left free: a terminal that wraps there would push the rows down.
    const int width = t.width() - 1;
    std::string out;
    if (!cleared_) put(out, t.clearAll);
    cleared_ = true;
    for (size_t r = 0; r < rows.size(); ++r) {
        put(out, t.at(static_cast<int>(r), 0));
        int room = width;
        for (const Span& span : rows[r]) {
            size_t end = 0;
            for (; end < span.text.size(); ++end) {
                if (startsCharacter(span.text[end]) && room-- <= 0) break;
            }
            if (end == 0) continue;
            t.ink(out, span.ink);
            out.append(span.text, 0, end);
            if (span.ink != Ink::Plain) put(out, t.plain);
        }
        put(out, t.clearEol);
    }
    // Under the rows, anything written meanwhile (a notice on standard error) is cleared, and
    // the cursor waits there.
    put(out, t.at(static_cast<int>(rows.size()), 0));
    put(out, t.clearEos);
    drawnRows_ = rows.size();
    writeControl(stream_, out);
}

void TerminalScreen::leave() {
    std::string out;
    put(out, terminal_->plain);
    put(out, terminal_->at(static_cast<int>(drawnRows_), 0));
    put(out, terminal_->clearEos);
    writeControl(stream_, out);
}
#else
struct TerminalScreen::Terminal {};

std::unique_ptr<TerminalScreen> TerminalScreen::open(std::FILE*) {
    return nullptr;
}
void TerminalScreen::draw(const std::vector<ScreenRow>&) {}
void TerminalScreen::leave() {}
#endif

TerminalScreen::TerminalScreen(std::FILE* stream, std::unique_ptr<Terminal> terminal)
    : stream_(stream), terminal_(std::move(terminal)) {}

TerminalScreen::~TerminalScreen() = default;

}  // namespace quorvel::cli

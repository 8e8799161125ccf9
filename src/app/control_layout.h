#pragma once
// Every control of the main window with its design-time values: kind, caption, place and size
// in twips, font, and initial state.

#include <span>

namespace quorvel {

enum class ControlKind { Button, Label, ComboList, TextBox, Option, Frame, ProgressBar, Drawing };

enum class ControlFont { Default, MacroButton, TavikButton, ComList, Memory };

struct ControlDesign {
    const char* name;  // the control's name on the window, e.g. "cmdMacro(0)"
    ControlKind kind;
    const char* parent;  // enclosing frame, or nullptr for the client area
    const char* caption;
    int left, top, width, height;  // twips, relative to the client area or the frame
    ControlFont font = ControlFont::Default;
    bool cleared = false;   // the bench controls whose initial state flag is cleared: hidden
    bool selected = false;  // option buttons selected at start
};

// Client area of the window in twips.
constexpr int kClientWidthTwips = 6240;
constexpr int kClientHeightTwips = 2130;

// Frames come before their contents.
std::span<const ControlDesign> controlLayout();

}  // namespace quorvel

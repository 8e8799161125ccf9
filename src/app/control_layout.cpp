#include "control_layout.h"

#include <array>

namespace quorvel {

namespace {

using enum ControlKind;
constexpr ControlFont kMacro = ControlFont::MacroButton;
constexpr ControlFont kPlain = ControlFont::Default;

constexpr std::array kLayout{
    // The end user's view.
    ControlDesign{"cmdMacro(0)", Button, nullptr, "Write Ver.01.02", 360, 480, 3255, 975, kMacro},
    ControlDesign{"ProgressBar1", ProgressBar, nullptr, "", 360, 1680, 3255, 255},
    ControlDesign{"Label1", Label, nullptr, "COM Port", 3960, 900, 975, 255},
    ControlDesign{"cmbCOM", ComboList, nullptr, "", 4920, 840, 975, 300, ControlFont::ComList},

    // The bench panel, beyond the right and bottom edges of the client area.
    ControlDesign{"Frame3", Frame, nullptr, "The original version", 6720, 480, 2895, 975, kPlain,
                  true},
    ControlDesign{"optVersion(0)", Option, "Frame3", "Previous version 1.05\r\n", 240, 240, 2415,
                  255},
    ControlDesign{"optVersion(1)", Option, "Frame3", "Version 1.06 or later\r\n", 240, 600, 2415,
                  255, kPlain, false, true},
    ControlDesign{"Frame1", Frame, nullptr, "通信速度", 10440, 3360, 1455, 1335},
    ControlDesign{"optBPS(2)", Option, "Frame1", "4800", 360, 240, 855, 255},
    ControlDesign{"optBPS(0)", Option, "Frame1", "9600", 360, 600, 855, 255, kPlain, true, true},
    ControlDesign{"optBPS(1)", Option, "Frame1", "38400", 360, 960, 855, 255, kPlain, true},
    ControlDesign{"Frame2", Frame, nullptr, "ポートの制御", 6360, 10320, 2535, 1335, kPlain, true},
    ControlDesign{"port(0)", Option, "Frame2", "L出力", 240, 240, 855, 255},
    ControlDesign{"port(1)", Option, "Frame2", "H出力", 240, 480, 855, 255},
    ControlDesign{"port(2)", Option, "Frame2", "入力", 240, 720, 855, 255},
    ControlDesign{"port(3)", Option, "Frame2", "読む", 240, 960, 855, 255, kPlain, false, true},
    ControlDesign{"txtPinNumber", TextBox, "Frame2", "", 1200, 240, 1095, 375},
    ControlDesign{"Command2", Button, "Frame2", "GO", 1200, 720, 1095, 495},

    ControlDesign{"Command1", Button, nullptr, "接続", 3720, 3480, 975, 375},
    ControlDesign{"cmbErase", Button, nullptr, "消去", 3720, 3960, 975, 375},
    ControlDesign{"cmbWrite", Button, nullptr, "書き込み", 3720, 4440, 975, 375},
    ControlDesign{"cmbEnd", Button, nullptr, "切断", 3720, 4920, 975, 375},
    ControlDesign{"cmdMacro(2)", Button, nullptr, "マ", 3720, 6480, 615, 615, kPlain, true},
    ControlDesign{"Command11", Button, nullptr, "接続", 3720, 7320, 615, 375, kPlain, true},
    ControlDesign{"Command8", Button, nullptr, "消去", 3720, 7680, 615, 375, kPlain, true},
    ControlDesign{"Command9", Button, nullptr, "書込", 3720, 8040, 615, 375, kPlain, true},
    ControlDesign{"Command10", Button, nullptr, "切断", 3720, 8400, 615, 375, kPlain, true},
    ControlDesign{"cmdTavik", Button, nullptr, "Tavik", 3600, 9000, 1335, 735,
                  ControlFont::TavikButton, true},
    ControlDesign{"Command4", Button, nullptr, "接続", 3600, 9720, 975, 375, kPlain, true},
    ControlDesign{"Command7", Button, nullptr, "消去", 3600, 10080, 975, 375, kPlain, true},
    ControlDesign{"Command6", Button, nullptr, "書き込み", 3600, 10440, 975, 375, kPlain, true},
    ControlDesign{"Command5", Button, nullptr, "切断", 3600, 10800, 975, 375, kPlain, true},
    ControlDesign{"cmdMacro(1)", Button, nullptr, "マ", 11400, 9720, 615, 1455, kPlain, true},
    ControlDesign{"cmdCheckSum", Button, nullptr, "CHECK SUM", 6360, 3480, 1215, 495},
    ControlDesign{"txtCsStt", TextBox, nullptr, "C000", 7680, 3480, 1215, 495},
    ControlDesign{"txtCsStp", TextBox, nullptr, "FFFF", 9000, 3480, 1215, 495},
    ControlDesign{"Text2", TextBox, nullptr, "Text2", 7560, 4080, 2775, 270, kPlain, true},
    ControlDesign{"Label4", Label, nullptr, "アドレス", 6360, 5040, 735, 255},
    ControlDesign{"Text1", TextBox, nullptr, "", 7080, 4920, 735, 270},
    ControlDesign{"txtCFG0", TextBox, nullptr, "Text3", 10800, 5400, 1095, 495, kPlain, true},
    ControlDesign{"txtCFG1", TextBox, nullptr, "Text3", 10800, 6000, 1095, 495, kPlain, true},
    ControlDesign{"txtMemory", Drawing, nullptr, "", 4440, 5520, 6975, 5175, ControlFont::Memory},
};

}  // namespace

std::span<const ControlDesign> controlLayout() {
    return kLayout;
}

}  // namespace quorvel

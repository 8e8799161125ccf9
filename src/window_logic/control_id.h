#pragma once
// The window's controls that the commands switch on and off, by their names on the window.

namespace quorvel {

enum class ControlId {
    cmdMacro0,
    cmdMacro1,
    cmdMacro2,
    Frame3,
    optVersion0,
    optVersion1,
    Command1,
    cmbErase,
    cmbWrite,
    cmbEnd,
    Command11,
    Command8,
    Command9,
    Command10,
    Command4,
    Command7,
    Command6,
    Command5,
    Command2,
    cmdTavik,
    mnuOpen,
    mnuEnd,
    mnuWrite,
    cmbCOM,
    mnuPort,  // the COM menu
};

// Controls that can start an exchange (or change the port or the image an exchange uses).
// They are all held off while any exchange runs, whatever their own state says.
constexpr bool startsExchange(ControlId id) {
    switch (id) {
        case ControlId::Frame3:
        case ControlId::optVersion0:
        case ControlId::optVersion1:
            return false;
        default:
            return true;
    }
}

}  // namespace quorvel

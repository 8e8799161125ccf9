#include "step_table.h"

#include <array>

#include "loader.h"

namespace quorvel {

namespace {

constexpr const char* kConnectOk = "接続しました";
constexpr const char* kConnectNg = "接続に失敗しました";
constexpr const char* kEraseOk = "消去しました";
constexpr const char* kEraseNg = "消去に失敗しました";
constexpr const char* kWriteOk = "書込成功";
constexpr const char* kWriteNg = "書込失敗";
constexpr const char* kEndOk = "切断しました";
constexpr const char* kEndNg = "切断に失敗しました";

using enum StepKind;
using enum Step;

// In the order of StepButton.
constexpr std::array<StepEntry, kStepButtonCount> kSteps{{
    {ControlId::Command1, Disabling, Connect, kConnected, kConnectOk, kConnectNg},
    {ControlId::Command11, Disabling, Connect, kConnected, kConnectOk, kConnectNg},
    // The older bench column's loader answers '0' when it has entered flash mode.
    {ControlId::Command4, Disabling, Connect, kConnectedZero, kConnectOk, kConnectNg},
    {ControlId::cmbErase, Disabling, Erase, kEraseAccepted, kEraseOk, kEraseNg},
    {ControlId::Command8, Disabling, Erase, kEraseAccepted, kEraseOk, kEraseNg},
    {ControlId::Command7, Disabling, TextErase, 0, kEraseOk, kEraseNg},
    {ControlId::cmbWrite, Hourglass, Program, kProgramDone, kWriteOk, kWriteNg},
    {ControlId::Command9, Hourglass, Program, kProgramDone, kWriteOk, kWriteNg},
    {ControlId::Command6, Hourglass, RowWrite, kProgramDone, kWriteOk, kWriteNg},
    {ControlId::cmbEnd, Disabling, Disconnect, kDisconnected, kEndOk, kEndNg},
    {ControlId::Command10, Disabling, Disconnect, kDisconnected, kEndOk, kEndNg},
    {ControlId::Command5, Disabling, TextEnd, 0, kEndOk, kEndNg},
}};

}  // namespace

const StepEntry& stepEntry(StepButton button) {
    return kSteps[static_cast<size_t>(button)];
}

}  // namespace quorvel

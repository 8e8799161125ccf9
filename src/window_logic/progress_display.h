#pragma once
// Shows the walk of the programming exchanges on the window: the address in Text1 and one
// step of the progress bar per block position, never past the end of the bar; and, on the bar
// itself, how far the write is and how long it has left, or what the current attempt waits
// for, so that a retry or a silent device is not taken for a hang.

#include <chrono>
#include <optional>
#include <string>

#include "loader.h"
#include "memory_image.h"
#include "panel.h"

namespace quorvel {

// The address box's text for a block or row: "0" and the row in upper-case hex, without
// leading zeros ("0400" for row 0x400, "01000" for row 0x1000).
std::string PositionText(int row);

ProgressCallback ProgressOnPanel(Panel& panel);

// The same, with the bar's text: "37%, 0:21 left" while the blocks of `image` go out, the
// time left estimated from the blocks with data sent so far.
ProgressCallback WriteProgressOnPanel(Panel& panel, const MemoryImage& image);

// Puts an attempt whose reply is late on the bar's text (and shows the bar, which is still
// hidden while the rewrite connects).
AttemptCallback AttemptsOnPanel(Panel& panel);

// "37%", or "37%, 1:05 left" with an estimate.
std::string ProgressText(int barValue, std::optional<std::chrono::seconds> left);

// "block 0x4C00: no answer, trying again" when the message goes out again, "...: no answer,
// still waiting" on its last attempt (late bytes may still come); "no answer yet, ..." for a
// command. Short enough for the bar.
std::string AttemptText(const AttemptNote& note);

}  // namespace quorvel

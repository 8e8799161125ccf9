#include "progress_display.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "block_walk.h"
#include "range_checksum.h"
#include "time_left.h"
#include "time_text.h"

namespace quorvel {

std::string PositionText(int row) {
    return "0" + toUpperHex(static_cast<uint32_t>(row));
}

ProgressCallback ProgressOnPanel(Panel& panel) {
    return [&panel](int row, bool blockStep) {
        panel.setText1(PositionText(row));
        if (blockStep) {
            panel.setProgressValue(std::clamp(panel.progressValue() + 1, 0, kProgressMaximum));
        }
    };
}

ProgressCallback WriteProgressOnPanel(Panel& panel, const MemoryImage& image) {
    // The estimate runs from the first block position on; the blocks before the current
    // position are answered by now.
    auto timeLeft = std::make_shared<std::optional<TimeLeft>>();
    const int total = countBlocksToSend(image);
    const ProgressCallback onPanel = ProgressOnPanel(panel);
    return [&panel, &image, timeLeft, total, onPanel](int row, bool blockStep) {
        onPanel(row, blockStep);
        if (!blockStep) return;
        const TimeLeft::Clock::time_point now = TimeLeft::Clock::now();
        if (!*timeLeft) timeLeft->emplace(total, now);
        std::optional<std::chrono::seconds> left;
        if (const auto estimate = (*timeLeft)->left(countBlocksBefore(image, row), now)) {
            left = std::chrono::duration_cast<std::chrono::seconds>(*estimate);
        }
        panel.setProgressText(ProgressText(panel.progressValue(), left));
    };
}

AttemptCallback AttemptsOnPanel(Panel& panel) {
    return [&panel](const AttemptNote& note) {
        panel.setProgressVisible(true);
        panel.setProgressText(AttemptText(note));
    };
}

std::string ProgressText(int barValue, std::optional<std::chrono::seconds> left) {
    std::string text = std::to_string(barValue * 100 / kProgressMaximum) + "%";
    return left ? text + ", " + minutesText(left->count()) + " left" : text;
}

std::string AttemptText(const AttemptNote& note) {
    std::string what = "no answer yet";
    if (note.row >= 0) {
        char block[32];
        std::snprintf(block, sizeof block, "block 0x%04X: no answer", unsigned(note.row) * 16);
        what = block;
    }
    return what + (note.attempt < note.attemptLimit ? ", trying again" : ", still waiting");
}

}  // namespace quorvel

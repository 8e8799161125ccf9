#include "progress_display.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "block_walk.h"

namespace quorvel {

namespace {

// How far the write has gone: the block positions passed and the blocks with data among them.
struct WriteClock {
    std::vector<int> starts = programBlockStarts();
    size_t passed = 0;
    int sent = 0;  // blocks with data before the current position: their frames are answered
    int total = 0;
    std::chrono::steady_clock::time_point begun;
};

}  // namespace

ProgressCallback ProgressOnPanel(Panel& panel) {
    return [&panel](const std::string& address, bool step) {
        panel.setText1(address);
        if (step) {
            panel.setProgressValue(std::clamp(panel.progressValue() + 1, 0, kProgressMaximum));
        }
    };
}

ProgressCallback WriteProgressOnPanel(Panel& panel, const MemoryImage& image) {
    auto clock = std::make_shared<WriteClock>();
    clock->total = countBlocksToSend(image);
    const ProgressCallback onPanel = ProgressOnPanel(panel);
    return [&panel, &image, clock, onPanel](const std::string& address, bool step) {
        onPanel(address, step);
        if (!step) return;
        const auto now = std::chrono::steady_clock::now();
        if (clock->passed == 0) clock->begun = now;
        // The block at the position before this one has had its answer by now.
        if (clock->passed > 0 && clock->passed <= clock->starts.size() &&
            blockHasData(image, clock->starts[clock->passed - 1])) {
            ++clock->sent;
        }
        ++clock->passed;
        std::optional<std::chrono::seconds> left;
        if (clock->sent > 0) {
            const auto spent = now - clock->begun;
            left = std::chrono::duration_cast<std::chrono::seconds>(spent / clock->sent *
                                                                    (clock->total - clock->sent));
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
    if (!left) return text;
    const long long seconds = std::max<long long>(0, left->count());
    char clock[32];
    std::snprintf(clock, sizeof clock, ", %lld:%02lld left", seconds / 60, seconds % 60);
    return text + clock;
}

std::string AttemptText(const AttemptNote& note) {
    std::string what = "no answer yet";
    if (note.row >= 0) {
        char block[32];
        std::snprintf(block, sizeof block, "block 0x%04X: no answer", unsigned(note.row) * 16);
        what = block;
    }
    return what +
           (note.attempt < note.attemptLimit ? ", trying again" : ", listening for late bytes");
}

}  // namespace quorvel

#include "progress_display.h"

#include <algorithm>

namespace quorvel {

ProgressCallback ProgressOnPanel(Panel& panel) {
    return [&panel](const std::string& address, bool step) {
        panel.setText1(address);
        if (step) {
            panel.setProgressValue(std::clamp(panel.progressValue() + 1, 0, kProgressMaximum));
        }
    };
}

}  // namespace quorvel

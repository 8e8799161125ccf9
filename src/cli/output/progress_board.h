#pragma once
// The progress of several devices written at once, one line per device. On a terminal the
// block of lines is drawn once and then redrawn in place (ANSI cursor movement); otherwise
// each event becomes a plain line tagged with its port; for JSON output nothing is shown.
//
// The device threads report through the event functions; only the thread that owns the
// output calls redraw(). Every function may be called from any thread.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "step_record.h"

namespace quorvel::cli {

class ProgressBoard {
  public:
    enum class Mode { Terminal, Lines, Silent };

    ProgressBoard(std::FILE* out, Mode mode, std::vector<std::string> ports);

    void stepStarted(size_t device, Step step);
    void stepDone(size_t device, const StepRecord& step);
    // `done` of `total` blocks on their way; `address` is the byte address of the last.
    void progress(size_t device, int done, int total, uint32_t address);
    // The device's outcome: "Rewriting success!" or the failure message.
    void finished(size_t device, bool ok, const std::string& message);

    // Terminal mode: draws the block, or redraws it in place, when something changed.
    void redraw();

    // The line shown for a device (for tests and the first drawing).
    std::string line(size_t device) const;

  private:
    struct Device {
        std::string port;
        std::optional<Step> step;         // the step running, none before the first
        std::optional<uint32_t> address;  // the byte address of the last block on its way
        int percent = 0;
        bool done = false;
        std::string outcome;
    };

    std::string lineLocked(const Device& d) const;

    std::FILE* out_;
    Mode mode_;
    size_t portWidth_ = 0;  // in characters, the widest port name as shown
    mutable std::mutex mutex_;
    std::vector<Device> devices_;
    bool drawn_ = false;
    bool dirty_ = true;
};

}  // namespace quorvel::cli

#pragma once
// Progress of a block or row walk on the command line: a bar on a terminal, plain lines
// otherwise, nothing at all with --quiet, or handed on to a caller that shows
// several devices at once. It counts what is sent (blocks or rows with data), names the one
// on its way by its byte address, and tells the time spent and the time left.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "diagnosis.h"  // byteAddress
#include "time_left.h"
#include "time_text.h"  // secondsText

namespace quorvel::cli {

class ProgressDisplay {
  public:
    enum class Mode { Bar, Lines, Silent, Report };
    // Receives every unit: how many of `total` have been started, and the unit's byte address.
    using Report = std::function<void(int done, int total, uint32_t address)>;

    // `total` units ("block", "row") make a full bar; in line mode every `lineEvery`-th unit
    // is printed, and the last one.
    ProgressDisplay(std::FILE* out, Mode mode, std::string label, std::string unit, int total,
                    int lineEvery);
    // Hands every unit to `report` instead of printing it.
    ProgressDisplay(Report report, int total);

    // The next unit, starting at byte `address`, is on its way.
    void advance(uint32_t address);
    // Ends the bar's line (the bar stays as it was reached).
    void finish();

  private:
    std::string status(uint32_t address) const;

    std::FILE* out_;
    Mode mode_;
    std::string label_;
    std::string unit_;
    int total_;
    int lineEvery_;
    int done_ = 0;
    bool drawn_ = false;
    Report report_;
    TimeLeft timeLeft_;
};

}  // namespace quorvel::cli

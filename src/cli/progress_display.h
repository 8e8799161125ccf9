#pragma once
// Progress of a block or row walk on the command line: a bar with the address on a terminal,
// plain lines otherwise, nothing at all for JSON output, or handed on to a caller that shows
// several devices at once.

#include <cstdio>
#include <functional>
#include <string>

namespace quorvel::cli {

class ProgressDisplay {
  public:
    enum class Mode { Bar, Lines, Silent, Report };
    // Receives every position: how many of `total` are passed, and the address text.
    using Report = std::function<void(int done, int total, const std::string& address)>;

    // `total` positions make a full bar; in line mode every `lineEvery`-th position is printed.
    ProgressDisplay(std::FILE* out, Mode mode, std::string label, int total, int lineEvery);
    // Hands every position to `report` instead of printing it.
    ProgressDisplay(Report report, int total);

    // One more position passed; `address` is the text of the address box ("0400").
    void advance(const std::string& address);
    // Ends the bar's line (the bar stays as it was reached).
    void finish();

  private:
    std::FILE* out_;
    Mode mode_;
    std::string label_;
    int total_;
    int lineEvery_;
    int done_ = 0;
    bool drawn_ = false;
    Report report_;
};

}  // namespace quorvel::cli

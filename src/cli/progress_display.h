#pragma once
// Progress of a block or row walk on the command line: a bar with the address on a terminal,
// plain lines otherwise, nothing at all for JSON output.

#include <cstdio>
#include <string>

namespace quorvel::cli {

class ProgressDisplay {
  public:
    enum class Mode { Bar, Lines, Silent };

    // `total` positions make a full bar; in line mode every `lineEvery`-th position is printed.
    ProgressDisplay(std::FILE* out, Mode mode, std::string label, int total, int lineEvery);

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
};

}  // namespace quorvel::cli

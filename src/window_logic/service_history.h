#pragma once
// The window's service history: every write from the window (the big button, the Edit menu's
// write) adds the same two lines as quorvel-flash write --record, its started line right before
// the first byte and its final line once it ended, to one file in the user's data folder, so
// that `quorvel-flash records` sums up what a technician's laptop wrote. A history that cannot
// be written never stops a write nor hides its outcome: the outcome box says so in a line.

#include <chrono>
#include <string>
#include <vector>

#include "command_context.h"
#include "record_file.h"
#include "result_box.h"
#include "rewrite_record.h"

namespace quorvel {

// history.jsonl in the user's data folder for this program (QStandardPaths::AppDataLocation);
// empty when the system names none.
std::string DefaultHistoryPath();

// One write from the window, from right before its first byte to its outcome box: its lines in
// the history of `context` (its historyPath; none when empty), and the facts its box ends with.
class WindowWrite {
  public:
    // Adds the started line, and takes the file and the port; the write's time counts from here.
    explicit WindowWrite(const CommandContext& context);
    WindowWrite(const WindowWrite&) = delete;
    WindowWrite& operator=(const WindowWrite&) = delete;

    // Adds the final line: how the write ended (rewrite_record.h, EndRecord), with what went
    // wrong as the line keeps it: where a stopped write stopped (`state`), or the failed step
    // with its status and attempts and then `cause` (what it saw); nothing when it went through.
    void end(const OutcomeFacts& outcome, const std::vector<StepRecord>& steps,
             const std::vector<std::string>& cause, const std::string& deviceState,
             const std::vector<std::string>& warnings);

    // The outcome box (ResultBox), with a line under `lines` when the history could not be
    // written, then, set off by a blank line, which file went to which port and how long it
    // took ("File: fw.mot", "Port: COM1 = /dev/ttyUSB0, ...", "Time taken: 47.9 s"): the box
    // still tells what happened once it is the only trace on the screen.
    PromptBox box(const ResultWords& words, bool accepted, std::vector<std::string> lines) const;

  private:
    const CommandContext& context_;
    RecordFile file_;
    Record record_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::string failure_;  // why the history could not be written
    std::string imageFile_;
    std::string port_;
};

}  // namespace quorvel

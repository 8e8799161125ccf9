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
#include "rewrite_record.h"

namespace quorvel {

// history.jsonl in the user's data folder for this program (QStandardPaths::AppDataLocation);
// empty when the system names none.
std::string DefaultHistoryPath();

// What went wrong, as the history line keeps it: where a stopped write stopped (`state`), or
// the failed step with its status and attempts and then `cause` (what it saw). Empty when the
// write went through.
std::vector<std::string> HistoryDiagnosis(const OutcomeFacts& outcome,
                                          const std::vector<StepRecord>& steps,
                                          const std::vector<std::string>& cause,
                                          const std::string& state);

// One write's lines in the history of `context` (its historyPath; none when empty).
class HistoryEntry {
  public:
    // Adds the started line: call right before the first byte goes to the device.
    explicit HistoryEntry(const CommandContext& context);
    HistoryEntry(const HistoryEntry&) = delete;
    HistoryEntry& operator=(const HistoryEntry&) = delete;

    // Adds the final line: how the write ended (rewrite_record.h, EndRecord).
    void end(const OutcomeFacts& outcome, const std::vector<StepRecord>& steps,
             std::vector<std::string> diagnosis, const std::string& deviceState,
             const std::vector<std::string>& warnings);

    // The line for the outcome box when the history could not be written; empty when it was.
    std::string warning() const;

  private:
    const CommandContext& context_;
    RecordFile file_;
    Record record_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::string failure_;  // why the history could not be written
};

}  // namespace quorvel

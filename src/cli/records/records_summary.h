#pragma once
// What the records command sums up from record lines, in one pass over any number of files:
// the devices per outcome, per image and per station's port, and the units reconciled across
// every file. Its memory grows with the images, ports and units seen and with the attempts not
// written (which the summary lists), not with the lines read: of the started lines, only the
// attempts still open are kept.

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "database_summary.h"
#include "record_reader.h"
#include "records_tallies.h"

namespace quorvel::cli {

// The devices per outcome (unconfirmed: written, but the device's answers did not confirm it)
// at one image, port or hour; total() is the number of devices.
struct Tally : OutcomeCounts {
    std::string name;    // the port, or the image's path
    std::string detail;  // the port's host, or the image's SHA-256
    // The units whose first attempt (by its start time) was here; of those, the ones that first
    // attempt wrote, and the ones written in the end (here or elsewhere).
    long long units = 0;
    long long firstPass = 0;
    long long unitsWritten = 0;

    // The share of the units first tried here written by that first attempt, and written in
    // the end, in percent to a tenth; empty without units.
    void addUnits(long long tried, long long passed, long long written) {
        units += tried;
        firstPass += passed;
        unitsWritten += written;
    }
    std::optional<double> firstPassYield() const { return percentOf(firstPass, units); }
    std::optional<double> finalYield() const { return percentOf(unitsWritten, units); }
};

// A line that is not a record: where, and why.
struct UnreadLine {
    size_t file;  // the index of its file among those read
    long long line;
    bool tooLong;  // longer than any record, rather than not one
};

class RecordsSummary {
  public:
    // Each record in the order read, file after file: a final line, or a started line (read
    // at `file` and `line`), which its final line closes. What is kept of it is copied: the
    // caller's record, left as it is, is filled again with the next line.
    void add(const Record& record);
    void addStarted(const Record& record, size_t file, long long line);
    void addUnread(UnreadLine line) { unread_.push_back(line); }
    // The figures a database summed where its rows are (sumDatabase()), read as source
    // `file`, in place of its lines; then each attempt it hands over that was not a success, in
    // the order read, with whether its unit was written in the end. They need no finish().
    void addSums(const DatabaseSums& sums, size_t file);
    void addNotSuccess(const DatabaseAttempt& attempt, size_t file);
    // Room for about `units` more units, so that the index of a year's units is not rebuilt
    // again and again as it grows (a hint from the size of the files to read).
    void expectUnits(size_t units) { unitIndex_.reserve(unitIndex_.size() + units); }
    // Keeps every attempt counted, for a list of them (one unit's: a handful, not a year's).
    void keepAttempts() { keepAttempts_ = true; }
    // After the last line: every attempt still open (a started line without its final line)
    // counts as interrupted, its device's state unknown; then the units are counted where they
    // were first tried.
    void finish();

    const Tally& all() const { return all_; }
    const std::vector<Tally>& images() const { return images_.rows; }  // as first seen
    const std::vector<Tally>& ports() const { return ports_.rows; }    // per host and port
    const std::vector<UnreadLine>& unread() const { return unread_; }
    // Where the started lines of the attempts left open are, in the order read (after finish()).
    const std::vector<UnreadLine>& unfinished() const { return unfinished_; }

    // The attempts not written, in the order read, without those at a unit written after all
    // (on any station, before or after).
    std::vector<Record> notWritten() const;
    // The ids of the units never written, in the order first seen.
    std::vector<std::string> unitsNotWritten() const;
    long long units() const { return static_cast<long long>(units_.size()) + summedUnits_; }
    long long unitsWritten() const { return unitsWritten_; }
    long long unitsFirstPass() const { return all_.firstPass; }
    // The earliest and the latest start of the attempts counted (as recorded); empty when none.
    const std::string& firstStarted() const { return firstStarted_; }
    const std::string& lastStarted() const { return lastStarted_; }

    // The devices per hour of their start (UTC, "2026-03-02T08"; "" when the record's time is
    // none), in time order.
    const std::map<std::string, Tally>& hours() const { return hours_; }
    // Every attempt that was not a success (written later or not), by its step and answer, as
    // first seen.
    const std::vector<Cause>& causes() const { return causes_; }
    const CycleTimes& cycleTimes() const { return cycleTimes_; }
    // The attempts counted, in the order they started (read order among equal times), when
    // keepAttempts() was called before the first; else none.
    std::vector<Record> attempts() const;

  private:
    struct Attempt {
        long long order;
        Record record;
    };
    // A board named by its unit id: written once any attempt at it succeeded.
    struct Unit {
        std::string id;
        long long firstSeen;
        bool written = false;
        std::vector<Attempt> attempts;  // those not written, while the unit is not
        // The first attempt by its start time: where it was and whether it wrote the unit.
        std::string firstStarted;
        size_t firstImage = 0;
        size_t firstPort = 0;
        bool firstWritten = false;
    };
    // Rows in the order first seen, found by their name and detail; the row found last, whose
    // index `last` holds, is looked at first (the image of a day's lines is mostly one).
    struct Rows {
        std::vector<Tally> rows;
        std::map<std::pair<std::string, std::string>, size_t> index;
        size_t last = 0;
        Tally& row(const std::string& name, const std::string& detail);
    };

    // A started line waiting for its final line.
    struct OpenAttempt {
        long long order;
        UnreadLine where;
        Record record;
    };
    void count(const Record& record, long long order);
    Tally& hourRow(const std::string& hour);
    // Widens the period counted to `started`.
    void noteStarted(const std::string& started);
    void addCause(const Record& record);

    long long read_ = 0;
    std::unordered_map<std::string, OpenAttempt> open_;  // by attempt id
    // Entries of open_ closed by their final lines, to hold the next started lines in the room
    // their strings have: most started lines are closed a line or a few later.
    static constexpr size_t kClosedKept = 64;
    std::vector<std::unordered_map<std::string, OpenAttempt>::node_type> closed_;
    // Final lines read before their started line (a rotated file named after the newer one):
    // the started line, when it comes, is already closed.
    std::unordered_set<std::string> endedFirst_;
    std::vector<UnreadLine> unfinished_;
    Tally all_;
    Rows images_;
    Rows ports_;
    // The units as first counted, a year's of them: a vector walks them in the order they lie.
    std::vector<Unit> units_;
    std::unordered_map<std::string, size_t> unitIndex_;  // by id
    long long unitsWritten_ = 0;
    long long summedUnits_ = 0;                  // the units a database counted
    std::vector<std::string> summedNotWritten_;  // and those of them not written
    std::vector<Attempt> withoutUnit_;  // the attempts not written at devices without a unit
    std::vector<UnreadLine> unread_;
    std::map<std::string, Tally> hours_;
    Tally* hour_ = nullptr;  // the hour counted last: a file's lines come mostly in time order
    std::vector<Cause> causes_;
    std::map<std::pair<std::string, std::string>, size_t> causeIndex_;
    CycleTimes cycleTimes_;
    std::string firstStarted_;
    std::string lastStarted_;
    bool keepAttempts_ = false;
    std::vector<Record> attempts_;
};

}  // namespace quorvel::cli

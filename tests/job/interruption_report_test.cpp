// What quorvel-flash says when a device command was stopped on request: where it stopped, as
// the last step's diagnostics tell it, and the state that leaves the device in.

#include "interruption_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvel;

namespace {

// A step as the session records it: which it was, whether it succeeded, and, when it stopped on
// request, how often its message went out and which block or row it was.
struct Ran {
    Step step;
    bool accepted = false;
    bool stopped = false;
    int attempts = 0;
    int row = -1;
    bool foreignAnswer = false;  // connect: answered with bytes no loader sends to it
};

struct ReportCase {
    std::string command;
    std::vector<Ran> steps;
    std::string expected;
    StopCause cause = StopCause::Signal;
};

// Rows 0x4000 and 0x4010 (block 0x4000) and 0x10000 (block 0x10000): two blocks, three rows.
MemoryImage threeRows() {
    MemoryImage image;
    image.ClearImage();
    for (int row : {1024, 1025, 4096}) image.flagRow(row);
    return image;
}

class InterruptionReport : public testing::TestWithParam<ReportCase> {};

TEST_P(InterruptionReport, SaysWhereAndWhatItLeaves) {
    std::vector<StepRecord> records;
    for (const Ran& s : GetParam().steps) {
        StepRecord r;
        r.step = s.step;
        r.accepted = s.accepted;
        r.seen.stopped = s.stopped;
        r.seen.attempts = s.attempts;
        r.seen.row = s.row;
        r.seen.foreignAnswer = s.foreignAnswer;
        records.push_back(r);
    }
    EXPECT_EQ(
        interruptionReport(GetParam().command == "write", records, threeRows(), GetParam().cause),
        GetParam().expected);
}

const std::vector<Ran> kErased{{Step::Connect, true}, {Step::Erase, true}};

INSTANTIATE_TEST_SUITE_P(
    Steps, InterruptionReport,
    testing::Values(
        ReportCase{"write",
                   {{Step::Connect, false, true}},
                   "interrupted before connect: nothing was sent"},
        // The stop came while the connect waited, and the answer was no loader's.
        ReportCase{"write",
                   {{Step::Connect, false, false, 1, -1, true}},
                   "interrupted during connect, which the device did not confirm: the device's "
                   "state is unknown: it may hold an interrupted write; power-cycle it, then "
                   "write again"},
        ReportCase{"write",
                   {{Step::Connect, true}},
                   "interrupted after connect: nothing was written; the device stays in flash "
                   "mode; run write again"},
        ReportCase{"write",
                   {{Step::Connect, true}, {Step::Erase, false, true, 1}},
                   "interrupted during the erase, which the device did not confirm: the device "
                   "may be partly erased; it stays in flash mode; run write again"},
        ReportCase{"write", kErased,
                   "interrupted after the erase: the device is erased and nothing is written "
                   "yet; it stays in flash mode; run write again"},
        ReportCase{
            "write",
            {{Step::Connect, true}, {Step::Erase, true}, {Step::Program, false, true, 0, 1024}},
            "interrupted before block 0x004000, with 0 of 2 blocks written: the device is "
            "erased and nothing is written yet; it stays in flash mode; run write again"},
        ReportCase{
            "write",
            {{Step::Connect, true}, {Step::Erase, true}, {Step::Program, false, true, 0, 4096}},
            "interrupted before block 0x010000, with 1 of 2 blocks written: the device is "
            "erased and partly written; it stays in flash mode; run write again"},
        ReportCase{
            "write",
            {{Step::Connect, true}, {Step::Erase, true}, {Step::Program, false, true, 1, 4096}},
            "interrupted at block 0x010000, which the device did not confirm, with 1 of 2 "
            "blocks written: the device is erased and partly written; it stays in flash "
            "mode; run write again"},
        ReportCase{"write",
                   {{Step::Connect, true}, {Step::Erase, true}, {Step::Program, true}},
                   "interrupted after programming: every block is written, but the device stays "
                   "in flash mode; run disconnect to leave it"},
        ReportCase{"write",
                   {{Step::Connect, true},
                    {Step::Erase, true},
                    {Step::Program, true},
                    {Step::Disconnect, false, true, 2}},
                   "interrupted during the disconnect, which the device did not confirm: every "
                   "block is written; the device may still be in flash mode; run disconnect to "
                   "leave it"},
        ReportCase{"program",
                   {{Step::Program, false, true, 0, 1024}},
                   "interrupted before block 0x004000, with 0 of 2 blocks written: nothing was "
                   "written"},
        ReportCase{"row-write",
                   {{Step::RowWrite, false, true, 0, 1025}},
                   "interrupted before row 0x004010, with 1 of 3 rows written: the device is "
                   "partly written"},
        ReportCase{"text-end",
                   {{Step::TextEnd, false, true, 1}},
                   "interrupted during the END line, which the device did not confirm: the "
                   "device may or may not have carried it out"},
        ReportCase{"erase",
                   {{Step::Erase, false, true, 0}},
                   "interrupted before the erase: nothing was sent"},
        ReportCase{"write",
                   {{Step::Connect, false, true}},
                   "stopped (the output could not be written) before connect: nothing was sent",
                   StopCause::OutputFailed}));

}  // namespace

// The parts of quorvel-flash's several-device write and diagnosis that need no device: the
// per-port transcript names, the summary table, the progress block and the failure texts.

#include <gtest/gtest.h>

#include <optional>

#include <cstdio>
#include <string>
#include <vector>

#include "diagnosis.h"
#include "log_paths.h"
#include "multi_write.h"
#include "progress_board.h"

using namespace quorvel;
using namespace quorvel::cli;

namespace {

struct LogCase {
    std::string file;
    std::vector<std::string> ports;
    std::vector<std::string> expected;
};

class LogPaths : public testing::TestWithParam<LogCase> {};

TEST_P(LogPaths, PortGoesBeforeTheExtension) {
    EXPECT_EQ(logPathsForPorts(GetParam().file, GetParam().ports), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, LogPaths,
                         testing::Values(LogCase{"run.log",
                                                 {"COM2", "/dev/ttyUSB0"},
                                                 {"run-COM2.log", "run-ttyUSB0.log"}},
                                         LogCase{"logs/run", {"/dev/pts/3"}, {"logs/run-pts-3"}},
                                         LogCase{"a.b/run", {"COM1"}, {"a.b/run-COM1"}},
                                         LogCase{"dir/.hidden", {"COM1"}, {"dir/.hidden-COM1"}},
                                         LogCase{
                                             "run.x.txt", {"\\\\.\\COM12"}, {"run.x-COM12.txt"}},
                                         LogCase{"r.log",
                                                 {"/dev/a-b", "/dev/a/b", "/tmp/a b"},
                                                 {"r-a-b.log", "r-a-b-2.log", "r-tmp-a-b.log"}}));

// What a stream received, read back from its temporary file.
std::string contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[512];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    return text;
}

TEST(SummaryTable, OneRowPerDeviceAndTheCount) {
    const auto device = [](std::string port, RewriteOutcome outcome, std::optional<Step> step,
                           int16_t status, double ms) {
        DeviceResult r;
        r.port = std::move(port);
        r.rewrite = outcome;
        r.severity = Outcome(outcome).severity;
        if (step) {
            r.steps.emplace_back();
            r.steps.back().step = *step;
            r.steps.back().status = status;
        }
        r.ms = ms;
        return r;
    };
    const std::vector<DeviceResult> results = {
        device("COM1", RewriteOutcome::Success, {}, 0, 48612.0),
        device("/dev/ttyUSB1", RewriteOutcome::DeletionFailure, Step::Erase, 1, 7540.0),
        device("COM3", RewriteOutcome::Unconfirmed, {}, 0, 48000.0),
        // Refused before its connect: no step failed.
        device("COM4", RewriteOutcome::ConnectionFailure, {}, 0, 1.0)};
    EXPECT_EQ(
        summaryTable(results),
        (std::vector<std::string>{
            "PORT          OUTCOME                                                                  "
            "FAILED STEP         TIME",
            "COM1          Rewriting success!                                                       "
            "-                 48.6 s",
            "/dev/ttyUSB1  Deletion failure                                                         "
            "erase (status 1)   7.5 s",
            "COM3          Rewriting unconfirmed: the device's answers did not confirm every frame  "
            "-                 48.0 s",
            "COM4          Connection failure                                                       "
            "-                  0.0 s",
            "1 of 4 devices rewritten"}));
}

// Several devices end as their worst one: a stop outweighs a failure, which outweighs an
// unconfirmed write; the exit code follows.
TEST(SummaryTable, SeveralDevicesEndAsTheWorst) {
    using S = OutcomeSeverity;
    struct Case {
        std::vector<S> devices;
        const char* outcome;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{}, "success", 0},
        {{S::Success, S::Success}, "success", 0},
        {{S::Unconfirmed, S::Success}, "unconfirmed", 4},
        {{S::Success, S::Failure, S::Unconfirmed}, "failure", 1},
        {{S::Interrupted, S::Failure, S::Unconfirmed}, "interrupted", 130},
    };
    for (const Case& c : cases) {
        OutcomeCounts counts;
        for (S device : c.devices) counts.add(device);
        CommandResult r;
        r.endAs(counts.worst());
        EXPECT_EQ(r.outcome, c.outcome) << c.devices.size() << " devices";
        EXPECT_EQ(r.exitCode, c.exitCode) << r.outcome;
    }
}

TEST(ProgressBoard, LinesFollowTheDevices) {
    ProgressBoard board(nullptr, ProgressBoard::Mode::Silent,
                        {"COM1", "/dev/serial/by-id/usb-FTDI_FT232R-if00"});
    EXPECT_EQ(board.line(0), "COM1                      [....................]   0%  waiting");
    board.stepStarted(0, Step::Program);
    board.progress(0, 60, 120, 0x23C00);
    EXPECT_EQ(board.line(0),
              "COM1                      [##########..........]  50%  program 0x023C00");
    board.finished(1, false, "Connection failure");
    // Long names keep their end, so that the lines stay short.
    EXPECT_EQ(board.line(1),
              ".../usb-FTDI_FT232R-if00  [....................]   0%  Connection failure");
}

TEST(ProgressBoard, TerminalRedrawsTheBlockInPlace) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ProgressBoard board(out, ProgressBoard::Mode::Terminal, {"A", "B"});
    board.redraw();
    board.redraw();  // nothing changed: nothing drawn
    board.finished(0, true, "Rewriting success!");
    board.redraw();
    EXPECT_EQ(contents(out),
              "\r\x1b[2KA  [....................]   0%  waiting\n"
              "\r\x1b[2KB  [....................]   0%  waiting\n"
              "\x1b[2A"
              "\r\x1b[2KA  [####################] 100%  Rewriting success!\n"
              "\r\x1b[2KB  [....................]   0%  waiting\n");
    std::fclose(out);
}

TEST(ProgressBoard, PlainLinesAtEveryTenthOfTheWalk) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ProgressBoard board(out, ProgressBoard::Mode::Lines, {"COM3"});
    board.stepStarted(0, Step::Program);
    for (int done = 1; done <= 120; ++done) board.progress(0, done, 120, done * 0x400);
    const std::string text = contents(out);
    EXPECT_EQ(text.substr(0, 53), "COM3: program 0x000400 0%\nCOM3: program 0x003000 10%\n");
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 11u);  // the first position, then 10% to 100%
    EXPECT_NE(text.find("COM3: program 0x01E000 100%\n"), std::string::npos);
    std::fclose(out);
}

struct DiagnosisCase {
    StepRecord step;
    LoaderGeneration loader;
    std::string failure;
    std::vector<std::string> explanation;
};

class Diagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(Diagnosis, SaysWhatTheStepSaw) {
    const DiagnosisCase& c = GetParam();
    EXPECT_EQ(failureLine(c.step), c.failure);
    EXPECT_EQ(explainFailure(c.step, c.loader), c.explanation);
}

StepRecord record(Step step, int16_t status, ExchangeDiagnostics seen, std::string portError = {},
                  bool strict = false) {
    return StepRecord{step,   status, false, 0, std::move(portError), std::move(seen),
                      strict, {},     {}};
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Diagnosis,
    testing::Values(
        DiagnosisCase{record(Step::Connect, 8, {}, "cannot open COM3: the port is busy"),
                      LoaderGeneration::V106,
                      "connect failed with status 8",
                      {"cannot open COM3: the port is busy"}},
        DiagnosisCase{record(Step::Connect, 8, {1, 1, -1, true, 14, 13, true, -1, {}}),
                      LoaderGeneration::V105,
                      "connect failed with status 8 after its one attempt",
                      {"only 13 bytes came back within 2.5 s, where 14 make a whole reply: check "
                       "the cable and the line speed",
                       "if the device has loader version 1.06 or later, try --loader 1.06"}},
        // A loader that repeats the word but refuses it may be of the other generation.
        DiagnosisCase{record(Step::Connect, 8, {1, 1, -1, true, 15, 15, false, 11, {'E'}}),
                      LoaderGeneration::V106,
                      "connect failed with status 8 after its one attempt",
                      {"the reply came back with 'E' (0x45) at status position 11, where connect "
                       "needs 'C'",
                       "if the device has the older loader (version 1.05), try --loader 1.05"}},
        // No loader of either generation answers so: no hint.
        DiagnosisCase{record(Step::Connect, 8,
                             {1, 1, -1, true, 15, 1036, false, 11, {0xEC}, 0, false, false, true}),
                      LoaderGeneration::V106,
                      "connect failed with status 8 after its one attempt",
                      {"the reply did not repeat the connect command, as a loader's answer does: "
                       "it may be the answer to a frame that an interrupted write left "
                       "unfinished"}},
        DiagnosisCase{record(Step::Connect, 8, {1, 1, -1, true, 15, 0, true, -1, {}}),
                      LoaderGeneration::V106,
                      "connect failed with status 8 after its one attempt",
                      {"nothing came back within 2.5 s: check the cable, the power, and that the "
                       "loader is in flash mode"}},
        DiagnosisCase{record(Step::Erase, 1, {3, 3, -1, true, 1036, 1036, false, 1032, {0x0D}}),
                      LoaderGeneration::V106,
                      "erase failed with status 1 after 3 of 3 attempts",
                      {"the reply came back with 0x0D at status position 1032, where erase needs "
                       "any byte but 'E'"}},
        DiagnosisCase{record(Step::RowWrite, -1, {0, 10, 4096, false, 0, 0, false, -1, {}}),
                      LoaderGeneration::V106,
                      "row-write failed with status -1 at row 0x010000",
                      {"the image holds data at 0x010000, beyond 0xFFFF, the last address a row "
                       "record can carry"}},
        DiagnosisCase{record(Step::Program, 1, {2, 2, 9152, true, 1036, 1036, false, 1032, {'E'}}),
                      LoaderGeneration::V106,
                      "program failed with status 1 at block 0x023C00 after 2 of 2 attempts",
                      {"the reply came back with 'E' (0x45) at status position 1032, where "
                       "program needs any byte but 'E'"}},
        DiagnosisCase{record(Step::Program, 1, {2, 2, 1024, true, 1036, 518, true, -1, {}, 518}),
                      LoaderGeneration::V106,
                      "program failed with status 1 at block 0x004000 after 2 of 2 attempts",
                      {"only 518 bytes came back within 2.5 s, where 1036 make a whole reply: "
                       "check the cable and the line speed",
                       "a further 518 bytes came after the deadline and were thrown away: the "
                       "device or the adapter answers too late"}},
        DiagnosisCase{record(Step::Erase, 1,
                             {3, 3, -1, true, 1036, 1036, false, 1032, {'0'}, 0, true}, {}, true),
                      LoaderGeneration::V106,
                      "erase failed with status 1 after 3 of 3 attempts",
                      {"the reply did not begin with the frame that was sent, which --strict "
                       "requires"}},
        DiagnosisCase{record(Step::Erase, 1,
                             {3, 3, -1, true, 1036, 1036, false, 1032, {'B'}, 0, false}, {}, true),
                      LoaderGeneration::V106,
                      "erase failed with status 1 after 3 of 3 attempts",
                      {"the reply came back with 'B' (0x42) at status position 1032, where erase "
                       "needs '0'"}}));

TEST(EchoWarning, NamesEveryFrameWhoseAnswerDidNotRepeatIt) {
    std::vector<StepRecord> steps = {record(Step::Erase, 4, {}), record(Step::Program, 0, {}),
                                     record(Step::Disconnect, 0, {})};
    EXPECT_EQ(echoWarning(steps), "");
    steps[0].notEchoed = {-1};
    steps[1].notEchoed = {1024, 4096};
    EXPECT_EQ(echoWarning(steps),
              "the device's answers did not repeat what was sent: the write may not have been "
              "stored (the erase frame, block 0x004000, block 0x010000)");
}

}  // namespace

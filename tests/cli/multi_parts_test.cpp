// The parts of quorvel-flash's several-device write that need no device: the per-port
// transcript names, the summary table and the progress block.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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
            r.steps.back().seen.judged = true;  // answered, with the wrong status byte
        }
        r.ms = ms;
        return r;
    };
    const std::vector<DeviceResult> results = {
        device("COM1", RewriteOutcome::Success, {}, 0, 48612.0),
        // Measured in characters: the U+00DC takes two bytes and one column.
        device("/dev/tty\u00dcSB1", RewriteOutcome::DeletionFailure, Step::Erase, 1, 7540.0),
        device("COM3", RewriteOutcome::Unconfirmed, {}, 0, 48000.0),
        // Refused before its connect: no step failed.
        device("COM4", RewriteOutcome::ConnectionFailure, {}, 0, 1.0)};
    EXPECT_EQ(summaryTable(results),
              (std::vector<std::string>{"PORT          OUTCOME                                     "
                                        "                             "
                                        "FAILED STEP       TIME",
                                        "COM1          Rewriting success!                          "
                                        "                             "
                                        "-               48.6 s",
                                        "/dev/tty\u00dcSB1  Deletion failure                            "
                                        "                             "
                                        "erase: refused   7.5 s",
                                        "COM3          Rewriting unconfirmed: the device's answers "
                                        "did not confirm every frame  "
                                        "-               48.0 s",
                                        "COM4          Connection failure                          "
                                        "                             "
                                        "-                0.0 s",
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
        EXPECT_EQ(outcomeOfExit(r.exitCode), c.outcome) << c.devices.size() << " devices";
        EXPECT_EQ(r.exitCode, c.exitCode);
    }
}

TEST(ProgressBoard, LinesFollowTheDevices) {
    ProgressBoard board(
        nullptr, ProgressBoard::Mode::Silent,
        {"COM1", "/dev/serial/by-id/usb-FTDI_FT232R-if00", "/dev/ttyUSB-Prüfstand-日本"});
    EXPECT_EQ(board.line(0), "COM1                      [....................]   0%  waiting");
    // Columns are counted in characters: a UTF-8 name is as wide as it looks.
    EXPECT_EQ(board.line(2), "/dev/ttyUSB-Prüfstand-日本  [....................]   0%  waiting");
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

}  // namespace

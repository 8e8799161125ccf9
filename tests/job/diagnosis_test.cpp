// Why a step failed, in the words both front ends print under it: the failure line, what came
// back from the device with the hint on the loader generation where one helps, and the warning
// for answers that did not repeat their frame.

#include "diagnosis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvel;

namespace {

struct DiagnosisCase {
    StepRecord step;
    LoaderGeneration loader;
    std::string failure;
    std::vector<std::string> explanation;
    std::string answer;  // the kind of answer, as read back from a record of these lines
};

class Diagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(Diagnosis, SaysWhatTheStepSaw) {
    const DiagnosisCase& c = GetParam();
    EXPECT_EQ(failureLine(c.step), c.failure);
    EXPECT_EQ(explainFailure(c.step, c.loader), c.explanation);
    std::vector<std::string> recorded{failureLine(c.step)};
    for (const std::string& line : explainFailure(c.step, c.loader)) recorded.push_back(line);
    EXPECT_EQ(answerKind(recorded), c.answer);
}

// The record of the step that the tool's reports call `name`.
StepRecord record(const std::string& name, int16_t status, ExchangeDiagnostics seen,
                  std::string portError = {}, bool strict = false) {
    Step step = Step::Connect;
    for (const Step s : {Step::Connect, Step::Pin, Step::Erase, Step::Program, Step::Disconnect,
                         Step::TextErase, Step::TextEnd, Step::RowWrite}) {
        if (name == StepName(s)) step = s;
    }
    return StepRecord{step,   status, false, 0, std::move(portError), std::move(seen),
                      strict, {},     {}};
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Diagnosis,
    testing::Values(
        DiagnosisCase{record("connect", 8, {}, "cannot open COM3: the port is busy"),
                      LoaderGeneration::V106,
                      "connect failed with status 8",
                      {"cannot open COM3: the port is busy"},
                      "port could not be opened"},
        DiagnosisCase{record("connect", 8, {1, 1, -1, true, 14, 13, true, -1, {}}),
                      LoaderGeneration::V105,
                      "connect failed with status 8 after its one attempt",
                      {"only 13 bytes came back within 2.5 s, where 14 make a whole reply: check "
                       "the cable and the line speed",
                       "if the device has loader version 1.06 or later, try --loader 1.06"},
                      "short reply"},
        // A loader that repeats the word but refuses it may be of the other generation.
        DiagnosisCase{record("connect", 8, {1, 1, -1, true, 15, 15, false, 11, {'E'}}),
                      LoaderGeneration::V106,
                      "connect failed with status 8 after its one attempt",
                      {"the reply came back with 'E' (0x45) at status position 11, where connect "
                       "needs 'C'",
                       "if the device has the older loader (version 1.05), try --loader 1.05"},
                      "status byte 'E' (0x45)"},
        // No loader of either generation answers so: no hint.
        DiagnosisCase{record("connect", 8,
                             {1, 1, -1, true, 15, 1036, false, 11, {0xEC}, 0, false, false, true}),
                      LoaderGeneration::V106,
                      "connect failed with status 8 after its one attempt",
                      {"the reply did not repeat the connect command, as a loader's answer does: "
                       "it may be the answer to a frame that an interrupted write left "
                       "unfinished"},
                      "answer to an unfinished frame"},
        DiagnosisCase{record("connect", 8, {1, 1, -1, true, 15, 0, true, -1, {}}),
                      LoaderGeneration::V106,
                      "connect failed with status 8 after its one attempt",
                      {"nothing came back within 2.5 s: check the cable, the power, and that the "
                       "loader is in flash mode"},
                      "no answer"},
        DiagnosisCase{record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {0x0D}}),
                      LoaderGeneration::V106,
                      "erase failed with status 1 after 3 of 3 attempts",
                      {"the reply came back with 0x0D at status position 1032, where erase needs "
                       "any byte but 'E'"},
                      "status byte 0x0D"},
        DiagnosisCase{record("row-write", -1, {0, 10, 4096, false, 0, 0, false, -1, {}}),
                      LoaderGeneration::V106,
                      "row-write failed with status -1 at row 0x010000",
                      {"the image holds data at 0x010000, beyond 0xFFFF, the last address a row "
                       "record can carry"},
                      "data beyond 0xFFFF"},
        DiagnosisCase{record("program", 1, {2, 2, 9152, true, 1036, 1036, false, 1032, {'E'}}),
                      LoaderGeneration::V106,
                      "program failed with status 1 at block 0x023C00 after 2 of 2 attempts",
                      {"the reply came back with 'E' (0x45) at status position 1032, where "
                       "program needs any byte but 'E'"},
                      "status byte 'E' (0x45)"},
        DiagnosisCase{record("program", 1, {2, 2, 1024, true, 1036, 518, true, -1, {}, 518}),
                      LoaderGeneration::V106,
                      "program failed with status 1 at block 0x004000 after 2 of 2 attempts",
                      {"only 518 bytes came back within 2.5 s, where 1036 make a whole reply: "
                       "check the cable and the line speed",
                       "a further 518 bytes came after the deadline and were thrown away: the "
                       "device or the adapter answers too late"},
                      "short reply"},
        DiagnosisCase{
            record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {'0'}, 0, true}, {}, true),
            LoaderGeneration::V106,
            "erase failed with status 1 after 3 of 3 attempts",
            {"the reply did not begin with the frame that was sent, which --strict "
             "requires"},
            "frame not repeated (--strict)"},
        DiagnosisCase{record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {'B'}, 0, false},
                             {}, true),
                      LoaderGeneration::V106,
                      "erase failed with status 1 after 3 of 3 attempts",
                      {"the reply came back with 'B' (0x42) at status position 1032, where erase "
                       "needs '0'"},
                      "status byte 'B' (0x42)"}));

TEST(EchoWarning, NamesEveryFrameWhoseAnswerDidNotRepeatIt) {
    std::vector<StepRecord> steps = {record("erase", 4, {}), record("program", 0, {}),
                                     record("disconnect", 0, {})};
    EXPECT_EQ(echoWarning(steps), "");
    steps[0].notEchoed = {-1};
    steps[1].notEchoed = {1024, 4096};
    EXPECT_EQ(echoWarning(steps),
              "the device's answers did not repeat what was sent: the write may not have been "
              "stored (the erase frame, block 0x004000, block 0x010000)");
}

}  // namespace

// Why a step failed, in the words both front ends print under it: the failure line, what came
// back from the device with the hint on the loader generation where one helps, and the warning
// for answers that did not repeat their frame.

#include "diagnosis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "step_words.h"

using namespace quorvel;

namespace {

struct DiagnosisCase {
    StepRecord step;
    LoaderGeneration loader;
    std::string failure;
    std::vector<std::string> explanation;
    std::string answer;  // the kind of answer, as the record keeps it
};

class Diagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(Diagnosis, SaysWhatTheStepSaw) {
    const DiagnosisCase& c = GetParam();
    EXPECT_EQ(failureLine(c.step), c.failure);
    EXPECT_EQ(explainFailure(c.step, c.loader), c.explanation);
    EXPECT_EQ(AnswerKind(c.step), c.answer);
}

// The record of the step that the tool's reports call `name`.
StepRecord record(const std::string& name, int16_t status, ExchangeDiagnostics seen,
                  std::string portError = {}, bool strict = false) {
    Step step = Step::Connect;
    for (const Step s : {Step::Connect, Step::Pin, Step::Erase, Step::Program, Step::Disconnect,
                         Step::TextErase, Step::TextEnd, Step::RowWrite}) {
        if (name == StepName(s)) step = s;
    }
    return StepRecord{step, status, false, 0, std::move(portError), std::move(seen), strict, {}};
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Diagnosis,
    testing::Values(
        DiagnosisCase{record("connect", 8, {}, "cannot open COM3: the port is busy"),
                      LoaderGeneration::V106,
                      "connect failed",
                      {"cannot open COM3: the port is busy"},
                      "port could not be opened"},
        // An adapter pulled out mid-write: what to do about it comes with it.
        DiagnosisCase{record("erase", 1, {}, "the connection to COM3 (/dev/ttyUSB0) was lost"),
                      LoaderGeneration::V106,
                      "erase failed",
                      {"the connection to COM3 (/dev/ttyUSB0) was lost",
                       "check the cable, and plug the adapter in again"},
                      "connection lost"},
        DiagnosisCase{
            record("connect", 8, {1, 1, -1, true, 14, 13, true, -1, {}}),
            LoaderGeneration::V105,
            "connect failed after its one attempt",
            {"only part of an answer came back within 2.5 s: check the cable and the line "
             "speed",
             "if the device has loader version 1.06 or later, try --loader 1.06"},
            "short reply"},
        // A loader that repeats the word but refuses it may be of the other generation.
        DiagnosisCase{
            record("connect", 8, {1, 1, -1, true, 15, 15, false, 11, {'E'}}),
            LoaderGeneration::V106,
            "connect failed after its one attempt",
            {"the device did not enter flash mode (it answered 'E' where a loader answers "
             "'C')",
             "if the device has the older loader (version 1.05), try --loader 1.05"},
            "status byte 'E' (0x45)"},
        // No loader of either generation answers so: no hint.
        DiagnosisCase{record("connect", 8,
                             {1, 1, -1, true, 15, 1036, false, 11, {0xEC}, 0, false, false, true}),
                      LoaderGeneration::V106,
                      "connect failed after its one attempt",
                      {"the device's answer did not repeat the connect command, as a loader's "
                       "answer does: it may be the answer to a frame that an interrupted write "
                       "left unfinished"},
                      "answer to an unfinished frame"},
        DiagnosisCase{record("connect", 8, {1, 1, -1, true, 15, 0, true, -1, {}}),
                      LoaderGeneration::V106,
                      "connect failed after its one attempt",
                      {"no answer within 2.5 s: check the cable, the power, and that the loader is "
                       "in flash mode"},
                      "no answer"},
        DiagnosisCase{record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {0x0D}}),
                      LoaderGeneration::V106,
                      "erase failed after 3 of 3 attempts",
                      {"the device refused the erase (it answered byte 0x0D)"},
                      "status byte 0x0D"},
        DiagnosisCase{record("row-write", -1, {0, 10, 4096, false, 0, 0, false, -1, {}}),
                      LoaderGeneration::V106,
                      "row-write failed at row 0x010000",
                      {"the image holds data at 0x010000, beyond 0xFFFF, the last address a row "
                       "record can carry"},
                      "data beyond 0xFFFF"},
        DiagnosisCase{record("program", 1, {2, 2, 9152, true, 1036, 1036, false, 1032, {'E'}}),
                      LoaderGeneration::V106,
                      "program failed at block 0x023C00 after 2 of 2 attempts",
                      {"the device refused block 0x023C00 (it answered 'E')"},
                      "status byte 'E' (0x45)"},
        DiagnosisCase{record("program", 1, {2, 2, 1024, true, 1036, 518, true, -1, {}, 518}),
                      LoaderGeneration::V106,
                      "program failed at block 0x004000 after 2 of 2 attempts",
                      {"only part of an answer came back within 2.5 s, 2 tries: check the cable "
                       "and the line speed",
                       "part of the device's answer came after 2.5 s and was thrown away: the "
                       "device or the adapter answers too late"},
                      "short reply"},
        DiagnosisCase{
            record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {'0'}, 0, true}, {}, true),
            LoaderGeneration::V106,
            "erase failed after 3 of 3 attempts",
            {"the device's answer did not begin with the frame that was sent, which "
             "--strict requires"},
            "frame not repeated (--strict)"},
        DiagnosisCase{record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {'B'}, 0, false},
                             {}, true),
                      LoaderGeneration::V106,
                      "erase failed after 3 of 3 attempts",
                      {"the device refused the erase (it answered 'B' where --strict takes only "
                       "'0')"},
                      "status byte 'B' (0x42)"}));

// The step lines' words: what the device did, never a bare status number.
TEST(StepEndWords, SayWhatTheDeviceDid) {
    StepRecord connected = record("connect", 3, {1, 1, -1, true, 15, 15, false, 11, {'C'}});
    connected.accepted = true;
    StepRecord pin = record("pin", 10, {1, 1, -1, true, 14, 14, false, 8, {}});
    StepRecord unconfirmed = record("program", 0, {});
    unconfirmed.accepted = true;
    unconfirmed.unconfirmed = {{1024, false, 0x8A}, {2048, true, 'B'}};
    StepRecord stopped = record("program", 1, {});
    stopped.seen.stopped = true;
    const std::pair<StepRecord, std::string> rows[] = {
        {connected, "in flash mode"},
        {pin, "output high"},
        {unconfirmed, "answered, 2 blocks not confirmed"},
        {record("pin", 8, {1, 1, -1, true, 14, 14, false, 8, {' ', '}', 0xE4, 'S', 0x83, 0xE9}}),
         "answer not understood"},
        {record("pin", 8, {1, 1, -1, true, 14, 0, true, -1, {}}), "no answer"},
        {record("erase", 1, {3, 3, -1, true, 1036, 1036, false, 1032, {'E'}}), "refused"},
        {record("program", 1, {2, 2, 1024, true, 1036, 518, true, -1, {}}), "answer cut short"},
        {record("connect", 8, {}, "cannot open COM3"), "the port could not be used"},
        {stopped, "stopped"},
    };
    for (const auto& [step, words] : rows) EXPECT_EQ(StepEndWords(step), words) << words;
}

// Record lines of tools before the "cause" key keep only the diagnosis, in that tool's words.
TEST(AnswerKind, ReadBackFromTheDiagnosisOfEarlierLines) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"connect failed with status 8", "cannot open COM3: the port is busy"},
         "port could not be opened"},
        {{"erase failed with status 1 after 3 of 3 attempts",
          "nothing came back within 2.5 s: check the cable"},
         "no answer"},
        {{"program failed with status 1 at block 0x023C00 after 2 of 2 attempts",
          "the reply came back with 'E' (0x45) at status position 1032, where program needs any "
          "byte but 'E'"},
         "status byte 'E' (0x45)"},
        {{"connect failed with status 8 after its one attempt",
          "only 13 bytes came back within 2.5 s, where 14 make a whole reply"},
         "short reply"},
        {{"program failed with status 1", "the connection to COM3 (/dev/ttyUSB0) was lost"},
         "connection lost"},
        {{"disconnect failed with status 1"}, "status 1"},
    };
    for (const auto& [lines, kind] : rows) EXPECT_EQ(answerKind(lines), kind) << kind;
}

TEST(EchoWarning, NamesEveryFrameWhoseAnswerDidNotRepeatIt) {
    std::vector<StepRecord> steps = {record("erase", 4, {}), record("program", 0, {}),
                                     record("disconnect", 0, {})};
    EXPECT_EQ(echoWarning(steps), "");
    steps[0].unconfirmed = {{-1, false, '0'}};
    steps[1].unconfirmed = {{1024, false, '0'}, {2048, true, 'B'}, {4096, false, 0x8A}};
    EXPECT_EQ(echoWarning(steps),
              "the device's answers did not repeat what was sent: the write may not have been "
              "stored (the erase frame, block 0x004000, block 0x010000)");
}

}  // namespace

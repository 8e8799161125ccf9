// The record file of write --record without a device: a line and its reading back, the lines
// that are not records, lines of any length, the blocks a device accepted, and whole lines from
// several threads.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device_record.h"
#include "device_report.h"
#include "record_file.h"
#include "record_lines.h"
#include "record_reader.h"
#include "record_stream.h"
#include "records_summary.h"
#include "rewrite_record.h"
#include "unit_written.h"

using namespace quorvel;
using namespace quorvel::cli;

namespace {

Record failedRecord() {
    Record r;
    r.attempt = "a-1";
    r.started = "2026-03-02T08:00:01.120Z";
    r.ended = "2026-03-02T08:00:09.420Z";
    r.toolVersion = "1.2.0";
    r.host = "line3";
    r.port = "COM2";
    r.image = "fw \"rev B\"\\new.mot";
    r.sha256 = "5f1c";
    r.checksum = "3A7F21";
    r.outcome = "failure";
    r.failedStep = "erase";
    r.diagnosis = {"erase failed with status 1", "tab\there, line\nend, \xC3\x85, \x01"};
    r.blocksWritten = 7;
    r.seconds = 8.24;
    return r;
}

// Each line must be JSON that any reader takes, whatever the record holds.
TEST(RecordLine, EveryKeyAndReadsBack) {
    struct Case {
        const char* name;
        std::string image;
        double seconds;
        QString imageRead;  // as a JSON reader gives it back
        std::vector<std::string> warnings = {};
    };
    const std::vector<Case> cases = {
        {"quotes and backslash", failedRecord().image, 8.24, "fw \"rev B\"\\new.mot"},
        {"path not UTF-8", "fw\xFF\xC3.mot", 8.24, "fw\uFFFD\uFFFD.mot"},
        {"connect refused at once", "a.mot", 0.0004, "a.mot"},
        {"image that may be cut short",
         "cut.mot",
         8.24,
         "cut.mot",
         {"cut.mot has no end record (S7, S8 or S9): the file may be cut short"}},
    };
    for (const Case& c : cases) {
        Record record = failedRecord();
        record.image = c.image;
        record.seconds = c.seconds;
        record.warnings = c.warnings;
        const std::string line = recordLine(record);
        EXPECT_EQ(line.find('\n'), std::string::npos) << c.name;
        QJsonParseError error;
        const QJsonObject r =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << c.name << ": " << line;
        EXPECT_EQ(r.keys(), QStringList({"attempt",        "blocks_unconfirmed",
                                         "blocks_written", "cause",
                                         "checksum",       "device",
                                         "device_state",   "diagnosis",
                                         "ended",          "event",
                                         "failed_step",    "host",
                                         "image",          "outcome",
                                         "port",           "profile",
                                         "seconds",        "sha256",
                                         "started",        "tool_version",
                                         "unit",           "unit_check",
                                         "usb_serial",     "warnings"}))
            << c.name;
        std::vector<std::string> warnings;
        for (const QJsonValue& w : r["warnings"].toArray())
            warnings.push_back(w.toString().toStdString());
        EXPECT_EQ(warnings, c.warnings) << c.name;
        EXPECT_TRUE(r["device"].isNull() && r["usb_serial"].isNull() && r["profile"].isNull())
            << c.name;
        EXPECT_EQ(r["blocks_written"].toInt(), 7) << c.name;
        EXPECT_EQ(r["seconds"].toDouble(), c.seconds) << c.name << ": " << line;
        EXPECT_EQ(r["image"].toString(), c.imageRead) << c.name;

        const std::optional<Record> back = readRecordLine(line);
        ASSERT_TRUE(back.has_value()) << c.name << ": " << line;
        EXPECT_EQ(back->image, c.imageRead.toStdString()) << c.name;
        EXPECT_EQ(back->diagnosis, failedRecord().diagnosis) << c.name;
        EXPECT_EQ(back->failedStep, "erase") << c.name;
        EXPECT_EQ(back->started, "2026-03-02T08:00:01.120Z") << c.name;
        // The rest, for the spreadsheet rows.
        EXPECT_EQ(back->seconds, c.seconds) << c.name;
        EXPECT_EQ(back->blocksWritten, 7) << c.name;
        EXPECT_EQ(back->warnings, c.warnings) << c.name;
        EXPECT_TRUE(back->device.empty() && back->usbSerial.empty()) << c.name;
        EXPECT_EQ(back->attempt, "a-1") << c.name;
        EXPECT_FALSE(back->opening) << c.name;

        // The started line names the same attempt, and reads back as its opening.
        const std::optional<Record> opening = readRecordLine(startedLine(record));
        ASSERT_TRUE(opening.has_value()) << c.name;
        EXPECT_TRUE(opening->opening) << c.name;
        EXPECT_EQ(opening->attempt, "a-1") << c.name;
        EXPECT_EQ(opening->image, c.imageRead.toStdString()) << c.name;
        EXPECT_EQ(opening->outcome, "") << c.name;
    }
}

// Attempts are closed by their final line's id, in whichever order their files are read; one
// left open counts as interrupted. A line of the tool before attempt ids is read as it was.
TEST(RecordsSummary, StartedAttemptsClosedByTheirFinalLine) {
    const auto line = [](std::string_view text) { return *readRecordLine(text); };
    const std::string rest = R"("port":"COM1","image":"a","sha256":"b")";
    const Record started1 = line(R"({"event":"started","attempt":"1","unit":"U1",)" + rest + "}");
    const Record ended1 = line(R"({"attempt":"1","outcome":"success","unit":"U1",)" + rest + "}");
    const Record started2 = line(R"({"event":"started","attempt":"2","unit":"U2",)" + rest + "}");
    const Record old = line(R"({"outcome":"failure","unit":"U3",)" + rest + "}");
    for (const bool newestFirst : {false, true}) {
        RecordsSummary s;
        if (newestFirst) {
            s.add(ended1);
            s.addStarted(started2, 0, 2);
            s.addStarted(started1, 1, 1);
        } else {
            s.addStarted(started1, 0, 1);
            s.add(ended1);
            s.addStarted(started2, 0, 3);
        }
        s.add(old);
        s.finish();
        EXPECT_EQ(s.all()[OutcomeSeverity::Success], 1) << newestFirst;
        EXPECT_EQ(s.all()[OutcomeSeverity::Interrupted], 1) << newestFirst;
        EXPECT_EQ(s.all()[OutcomeSeverity::Failure], 1) << newestFirst;
        ASSERT_EQ(s.unfinished().size(), 1u) << newestFirst;
        EXPECT_EQ(s.unfinished()[0].line, newestFirst ? 2 : 3);
        const std::vector<Record> notWritten = s.notWritten();
        ASSERT_EQ(notWritten.size(), 2u);
        EXPECT_EQ(notWritten[0].unit + notWritten[1].unit, "U2U3");
        EXPECT_TRUE(notWritten[0].unfinished);
        EXPECT_EQ(s.unitsNotWritten(), (std::vector<std::string>{"U2", "U3"}));
    }
}

// Failures counted by step and answer, each naming its first units once, however many come.
TEST(RecordsSummary, CausesNameTheirFirstUnitsOnce) {
    RecordsSummary summary;
    const auto attempt = [&summary](const std::string& unit, const std::string& step,
                                    const std::string& outcome) {
        Record r;
        r.port = "COM1";
        r.unit = unit;
        r.outcome = outcome;
        r.severity = SeverityNamed(outcome).value();
        r.failedStep = step;
        r.diagnosis = {step + " failed with status 1 after 3 of 3 attempts",
                       "nothing came back within 2.5 s: check the cable"};
        summary.add(r);
    };
    attempt("U-0", "erase", "failure");
    for (int i = 0; i < 12; ++i) attempt("U-" + std::to_string(i), "erase", "failure");
    attempt("", "erase", "failure");
    attempt("U-0", "program", "interrupted");
    attempt("U-0", "", "success");
    ASSERT_EQ(summary.causes().size(), 2u);
    const Cause& erase = summary.causes()[0];
    EXPECT_EQ(erase.answer, "no answer");
    EXPECT_EQ(erase.devices, 14);
    EXPECT_EQ(erase.units.size(), Cause::kListedUnits);
    EXPECT_EQ(erase.units.front(), "U-0");
    EXPECT_EQ(erase.more, 3);  // U-10, U-11 and the one without a unit; U-0 again is listed
    EXPECT_EQ(summary.causes()[1].answer, "interrupted");
}

// Lines that are no record, each for its own reason.
std::vector<std::string> notRecordLines() {
    const std::string rest = R"(,"image":"a","sha256":"b","outcome":"success"})";
    return {
        "",
        "[]",
        R"({"port":"P")",
        R"({"port":"P")" + rest + " x",
        R"({"port":1)" + rest,
        R"({"port":"P","port":"Q","sha256":"b","outcome":"success"})",
        R"({"port":"\q")" + rest,
        R"({"port":"\u12")" + rest,
        "{\"port\":\"a\tb\"" + rest,
        R"({"port":"P","image":"a","sha256":"b","outcome":"done"})",
        R"({"port":"P","seconds":-,"image":"a","sha256":"b","outcome":"success"})",
        R"({"port":"P","diagnosis":[1],"image":"a","sha256":"b","outcome":"success"})",
        R"({"port":"P","diagnosis":"x","image":"a","sha256":"b","outcome":"success"})",
        R"({"port":"\ud800")" + rest,
        R"({"port":"P","host":"\udc00x")" + rest,
        R"({"port":"P","seconds":1e-)" + rest,
        "{\"port\":\"a\x01\"" + rest,
        "{\"port\":\"a\xFF\"" + rest,
    };
}

TEST(RecordReader, EscapesAndLinesThatAreNotRecords) {
    const std::string rest = R"(,"image":"a","sha256":"b","outcome":"success"})";
    const std::optional<Record> escaped =
        readRecordLine(R"( {"port":"\u00c5\ud83d\ude00\/\\\"x" )" + rest);
    ASSERT_TRUE(escaped.has_value());
    EXPECT_EQ(escaped->port, "\xC3\x85\xF0\x9F\x98\x80/\\\"x");
    EXPECT_TRUE(readRecordLine("\t{\"port\":\"P\"\t" + rest));  // tabs between the tokens
    // A count that is no whole number in range is none, and so is a number the line lacks.
    const std::optional<Record> odd =
        readRecordLine(R"({"port":"P","blocks_written":2.5,"blocks_unconfirmed":-1)" + rest);
    ASSERT_TRUE(odd.has_value());
    EXPECT_FALSE(odd->blocksWritten || odd->blocksUnconfirmed || odd->seconds);

    const std::vector<std::string> notRecords = notRecordLines();
    for (const std::string& line : notRecords) EXPECT_FALSE(readRecordLine(line)) << line;
}

// Where the build reads lines with simdjson, it gives the records Qt's reader gives, and refuses
// the lines Qt's reader refuses: the lines above, the lines the tool writes, and those where the
// two parsers differ (a key given twice, numbers JSON has not or a double has not, nesting).
TEST(RecordReader, BothParsersReadEveryLineAlike) {
    if (!fastRecordParser()) GTEST_SKIP() << "built without simdjson";
    const std::string rest = R"(,"image":"a","sha256":"b","outcome":"success"})";
    std::vector<std::string> lines = {
        recordLine(failedRecord()),
        startedLine(failedRecord()),
        R"( {"port":"\u00c5\ud83d\ude00\/\\\"x" )" + rest,
        "\t{\"port\":\"P\"\t" + rest,
        R"({"port":"P","blocks_written":2.5,"blocks_unconfirmed":-1)" + rest,
        R"({"port":"P","port":"Q")" + rest,
        R"({"port":"P","outcome":"failure")" + rest,
        R"({"port":"P","event":"started","attempt":"x","event":"ended")" + rest,
        R"({"port":"P","seconds":-0)" + rest,
        R"({"port":"P","seconds":-0.0)" + rest,
        R"({"port":"P","seconds":1e-400)" + rest,
        R"({"port":"P","seconds":4e-320)" + rest,
        R"({"port":"P","seconds":1e400)" + rest,
        R"({"port":"P","seconds":.5)" + rest,
        R"({"port":"P","seconds":1.)" + rest,
        R"({"port":"P","blocks_written":123456789012345678901234567890)" + rest,
        R"({"port":"P","blocks_written":18446744073709551615,"seconds":1E2)" + rest,
        R"({"port":"P","blocks_written":2147483647,"blocks_unconfirmed":2147483648)" + rest,
        R"({"port":"P","x":{"y":[1e-400]})" + rest,
        R"({"port":"P","diagnosis":["a","\u0000",null])" + rest,
        R"({"port":"P","warnings":["a",1,"b"],"host":5,"unit":null)" + rest,
        R"({"port":"P","\u0068ost":"h","uni\u0074":"\uFFFE")" + rest,
        "\xEF\xBB\xBF{\"port\":\"P\"" + rest,
        R"({"port":"P","x":)" + std::string(40, '[') + std::string(40, ']') + rest,
        R"({"port":"P","x":)" + std::string(1023, '[') + std::string(1023, ']') + rest,
        R"({"port":"P","x":)" + std::string(1024, '[') + std::string(1024, ']') + rest,
    };
    for (const char* line : {"{}", "null", R"({"port":"P"} {})", "{\"port\":\"P\"\r}"}) {
        lines.emplace_back(line);
    }
    for (const std::string& line : notRecordLines()) lines.push_back(line);
    std::optional<Record> reused;  // filled again line after line, as a reader of a file does
    for (const std::string& line : lines) {
        const std::optional<Record> fast = readRecordLine(line, RecordParser::Fastest);
        const std::optional<Record> qt = readRecordLine(line, RecordParser::Qt);
        EXPECT_EQ(fast.has_value(), qt.has_value()) << line.substr(0, 120);
        EXPECT_EQ(readRecordLine(line, reused), fast.has_value());
        EXPECT_TRUE(reused == fast) << line.substr(0, 120);
        if (!fast || !qt) continue;
        EXPECT_TRUE(*fast == *qt) << line.substr(0, 120);
        if (fast->seconds && qt->seconds) {
            EXPECT_EQ(std::signbit(*fast->seconds), std::signbit(*qt->seconds)) << line;
        }
    }
}

// Lines as the file has them, numbered from 1, none kept longer than a record can be.
TEST(RecordLines, NumberedAndBounded) {
    using Next = RecordLines::Next;
    const std::string longest(kLongestRecordLine, 'y');
    const std::string tooLong(kLongestRecordLine + 1, 'x');
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::pair<Next, std::string>> expected;  // up to the end
    };
    std::vector<Case> cases = {
        {"empty", "", {}},
        {"CR LF, a last line without end",
         "a\r\n\nc",
         {{Next::Line, "a"}, {Next::Line, ""}, {Next::Line, "c"}}},
        {"as long as a record may be", longest + "\n", {{Next::Line, longest}}},
        {"a longer line between two",
         "a\n" + tooLong + "\nb\n",
         {{Next::Line, "a"}, {Next::TooLong, ""}, {Next::Line, "b"}}},
        {"a longer line at the end, without end",
         "a\n" + tooLong + "x",
         {{Next::Line, "a"}, {Next::TooLong, ""}}},
    };
    Case many{"more lines than are read ahead at once", "", {}};
    for (int i = 0; i < 1500; ++i) {
        many.text += i % 2 == 0 ? "x\n" : " \t\n";
        many.expected.emplace_back(Next::Line, i % 2 == 0 ? "x" : " \t");
    }
    cases.push_back(many);
    for (const Case& c : cases) {
        std::string text = c.text;
        std::FILE* file = fmemopen(text.data(), text.size(), "rb");
        ASSERT_NE(file, nullptr) << c.name;
        RecordLines lines(file);
        std::string line;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(lines.next(line), c.expected[i].first) << c.name << ", line " << i + 1;
            if (c.expected[i].first == Next::Line) {
                EXPECT_EQ(line, c.expected[i].second) << c.name;
            }
            EXPECT_EQ(lines.number(), static_cast<long long>(i + 1)) << c.name;
        }
        EXPECT_EQ(lines.next(line), Next::End) << c.name;
        std::fclose(file);
        // The same lines through a stream, read ahead on a thread or not, to the end and after.
        for (const bool ahead : {false, true}) {
            file = fmemopen(text.data(), text.size(), "rb");
            ASSERT_NE(file, nullptr) << c.name;
            {
                RecordStream stream(file, ahead);
                for (size_t i = 0; i < c.expected.size(); ++i) {
                    const RecordStream::Item item = stream.next();
                    EXPECT_EQ(item.next, c.expected[i].first) << c.name << ", line " << i + 1;
                    EXPECT_EQ(item.number, static_cast<long long>(i + 1)) << c.name;
                    EXPECT_EQ(item.blank,
                              c.expected[i].first == Next::Line && blankLine(c.expected[i].second))
                        << c.name;
                    EXPECT_FALSE(item.record) << c.name;
                }
                EXPECT_EQ(stream.next().next, Next::End) << c.name << ", ahead " << ahead;
                EXPECT_EQ(stream.next().number, static_cast<long long>(c.expected.size()));
            }
            std::fclose(file);
        }
    }
    // A stream left before its end stops its reader.
    std::string text(100000, '\n');
    std::FILE* file = fmemopen(text.data(), text.size(), "rb");
    {
        RecordStream stream(file, true);
        EXPECT_TRUE(stream.next().blank);
    }
    std::fclose(file);
}

TEST(BlocksAccepted, CountsTheBlocksBeforeTheOneAWalkEndedOn) {
    MemoryImage image;
    image.ClearImage();
    // Blocks 0x4000, 0x8000 and 0x10000 hold data.
    for (int row : {1024, 2048, 4096}) image.flagRow(row);
    const auto program = [](bool accepted, int row) {
        StepRecord s;
        s.step = Step::Program;
        s.accepted = accepted;
        s.seen.row = row;
        return s;
    };
    StepRecord erase;
    erase.step = Step::Erase;
    erase.accepted = true;
    EXPECT_EQ(blocksAccepted({erase}, image), 0);
    EXPECT_EQ(blocksAccepted({erase, program(true, 4096)}, image), 3);
    EXPECT_EQ(blocksAccepted({erase, program(false, 4096)}, image), 2);
    EXPECT_EQ(blocksAccepted({erase, program(false, 1024)}, image), 0);
    EXPECT_EQ(blocksAccepted({erase, program(false, -1)}, image), 0);  // the port never opened
}

// A unit is written when a final line of it ended in success: the last such line is named, an id
// the line holds escaped is found too, and a started or a failed line is none.
TEST(UnitWritten, LastSuccessfulFinalLineOfTheUnit) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("line.jsonl").toStdString();
    const auto line = [](const std::string& unit, const std::string& port, const char* outcome) {
        Record r = failedRecord();
        r.unit = unit;
        r.port = port;
        r.outcome = outcome;
        return recordLine(r) + "\n";
    };
    Record started = failedRecord();
    started.unit = "U-2";
    {
        std::ofstream(path) << startedLine(started) << "\n"
                            << line("U-1", "COM1", "success") << line("U-2", "COM2", "failure")
                            << line("U\"7", "COM4", "success") << line("U-1", "COM3", "success");
    }
    const std::string at = "at 2026-03-02T08:00:09.420Z on line3, port ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"U-1", "unit U-1 was written " + at + "COM3 (" + path + " line 5)"},
        {"U\"7", "unit U\"7 was written " + at + "COM4 (" + path + " line 4)"},
        {"U-2", ""},
        {"U-9", ""},
        {"", ""},
    };
    for (const auto& [unit, written] : cases)
        EXPECT_EQ(findUnitWritten(path, unit).value_or(""), written) << unit;
    EXPECT_FALSE(findUnitWritten(dir.filePath("none.jsonl").toStdString(), "U-1"));
}

TEST(RecordFile, WholeLinesFromSeveralThreadsAfterEarlierOnes) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("line.jsonl").toStdString();
    { std::ofstream(path) << "earlier line\n"; }
    RecordFile file;
    ASSERT_TRUE(file.open(path));
    constexpr int kThreads = 4;
    constexpr int kLines = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&file, t] {
            Record r = failedRecord();
            r.port = "COM" + std::to_string(t);
            r.diagnosis.assign(40, std::string(100, 'x'));  // longer than one stdio buffer
            for (int i = 0; i < kLines; ++i) EXPECT_TRUE(file.append(r));
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(file.failure(), "");

    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "earlier line");
    int records = 0;
    while (std::getline(in, line)) {
        EXPECT_TRUE(readRecordLine(line)) << line.substr(0, 80);
        ++records;
    }
    EXPECT_EQ(records, kThreads * kLines);

    RecordFile folder;
    EXPECT_FALSE(folder.open(dir.path().toStdString()));
}

}  // namespace

// The record file of write --record without a device: a line and its reading back, the lines
// that are not records, the blocks a device accepted, and whole lines from several threads.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device_record.h"
#include "record_file.h"
#include "record_reader.h"
#include "session_record.h"

using namespace quorvel;
using namespace quorvel::cli;

namespace {

DeviceRecord failedRecord() {
    DeviceRecord r;
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

TEST(RecordLine, EveryKeyAndReadsBack) {
    const std::string line = recordLine(failedRecord());
    EXPECT_EQ(line.find('\n'), std::string::npos);
    for (const char* key : {"started", "ended", "tool_version", "host", "port", "device",
                            "usb_serial", "image", "sha256", "checksum", "outcome", "failed_step",
                            "diagnosis", "blocks_written", "seconds"}) {
        EXPECT_NE(line.find("\"" + std::string(key) + "\":"), std::string::npos) << key;
    }
    EXPECT_NE(line.find("\"device\":null,\"usb_serial\":null"), std::string::npos) << line;
    EXPECT_NE(line.find("\"blocks_written\":7,\"seconds\":8.240}"), std::string::npos) << line;

    const std::optional<ReadRecord> back = readRecordLine(line);
    ASSERT_TRUE(back.has_value()) << line;
    EXPECT_EQ(back->image, failedRecord().image);
    EXPECT_EQ(back->diagnosis, failedRecord().diagnosis);
    EXPECT_EQ(back->failedStep, "erase");
    EXPECT_EQ(back->started, "2026-03-02T08:00:01.120Z");
}

TEST(RecordReader, EscapesAndLinesThatAreNotRecords) {
    const std::string rest = R"(,"image":"a","sha256":"b","outcome":"success"})";
    const std::optional<ReadRecord> escaped =
        readRecordLine(R"( {"port":"\u00c5\ud83d\ude00\/\\\"x" )" + rest);
    ASSERT_TRUE(escaped.has_value());
    EXPECT_EQ(escaped->port, "\xC3\x85\xF0\x9F\x98\x80/\\\"x");

    const std::vector<std::string> notRecords = {
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
    };
    for (const std::string& line : notRecords) EXPECT_FALSE(readRecordLine(line)) << line;
}

TEST(BlocksAccepted, CountsTheBlocksBeforeTheOneAWalkEndedOn) {
    MemoryImage image;
    image.ClearImage();
    // Blocks 0x4000, 0x8000 and 0x10000 hold data.
    for (int row : {1024, 2048, 4096}) image.flagRow(row);
    const auto program = [](bool accepted, int row) {
        StepRecord s;
        s.name = "program";
        s.accepted = accepted;
        s.seen.row = row;
        return s;
    };
    StepRecord erase;
    erase.name = "erase";
    erase.accepted = true;
    EXPECT_EQ(blocksAccepted({erase}, image), 0);
    EXPECT_EQ(blocksAccepted({erase, program(true, 4096)}, image), 3);
    EXPECT_EQ(blocksAccepted({erase, program(false, 4096)}, image), 2);
    EXPECT_EQ(blocksAccepted({erase, program(false, 1024)}, image), 0);
    EXPECT_EQ(blocksAccepted({erase, program(false, -1)}, image), 0);  // the port never opened
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
            DeviceRecord r = failedRecord();
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

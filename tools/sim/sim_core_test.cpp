// Table tests of the simulated loader's core: how the byte stream is cut into messages, how
// fault rules are read, and what replies (healthy, faulted, paced) a session queues.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fault_rule.h"
#include "message_scanner.h"
#include "reply_queue.h"
#include "session.h"

namespace quorvel::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes frame(const char* letters, uint32_t address, uint8_t fill = 0x5A) {
    Bytes f(kFrameLength, fill);
    const uint8_t head[] = {0xFF,
                            0xFE,
                            static_cast<uint8_t>(letters[0]),
                            static_cast<uint8_t>(letters[1]),
                            static_cast<uint8_t>(address >> 16),
                            static_cast<uint8_t>(address >> 8),
                            static_cast<uint8_t>(address)};
    std::copy(std::begin(head), std::end(head), f.begin());
    f.back() = frameCheckByte(f.data());
    return f;
}

// Everything the queue holds that is due at `nowNs`, read back through a pipe.
Bytes drain(ReplyQueue& queue, int64_t nowNs) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(queue.writeDue(fds[1], nowNs), ReplyQueue::WriteResult::Done);
    close(fds[1]);
    Bytes out;
    uint8_t buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.insert(out.end(), buf, buf + n);
    close(fds[0]);
    return out;
}

struct Loader {
    explicit Loader(std::vector<FaultRule> rules = {}, bool pace = false)
        : faults(std::move(rules)),
          session(
              model, faults, transcript, queue, [] { return 38400; }, SessionTiming{pace}) {}
    Bytes send(const Bytes& request) {
        session.receive(request.data(), request.size(), 0);
        return drain(queue, 0);
    }
    LoaderModel model{{7}};
    FaultTable faults;
    Transcript transcript;
    ReplyQueue queue;
    Session session;
};

TEST(MessageScanner, TellsMessagesApartByTheirFirstBytes) {
    const Bytes fullFrame = frame("PG", 0x4000);
    struct Row {
        Bytes input;
        ScanState state;
        MessageKind kind;
        size_t length;
    } rows[] = {
        {fromHex("515A7E464C415348550D0A"), ScanState::Complete, MessageKind::Connect, 11},
        {fromHex("515A7E464C4153480D0A"), ScanState::Complete, MessageKind::Connect, 10},
        {fromHex("515A7E464C41534855"), ScanState::NeedMore, MessageKind::Frame, 0},
        {fromHex("515A7E464C41534858"), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("515A7E50313233"), ScanState::NeedMore, MessageKind::Frame, 0},
        {fromHex("515A7E5031320D0A"), ScanState::Complete, MessageKind::Pin, 7},
        {Bytes(kMaxPinCommand, 'Q'), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("515B"), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("00000D0A"), ScanState::Complete, MessageKind::Text, 4},
        {fromHex("01010D0A"), ScanState::Complete, MessageKind::Text, 4},
        {fromHex("00010D0A"), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("4F4B0D0A"), ScanState::Complete, MessageKind::Ack, 4},
        {fromHex("4E470D"), ScanState::NeedMore, MessageKind::Frame, 0},
        {fromHex("4E4700"), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("FFF0000102030405060708090A0B0C0D0E0F1011"), ScanState::Complete, MessageKind::Row,
         20},
        {fromHex("4010"), ScanState::NeedMore, MessageKind::Frame, 0},
        {fromHex("4011"), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("3F10"), ScanState::Junk, MessageKind::Frame, 0},
        {fromHex("0D"), ScanState::Junk, MessageKind::Frame, 0},
        {Bytes(fullFrame.begin(), fullFrame.end() - 1), ScanState::NeedMore, MessageKind::Frame, 0},
        {fullFrame, ScanState::Complete, MessageKind::Program, kFrameLength},
        {frame("BE", 0), ScanState::Complete, MessageKind::Erase, kFrameLength},
        {frame("ED", 0), ScanState::Complete, MessageKind::Disconnect, kFrameLength},
        {frame("XY", 0), ScanState::Complete, MessageKind::Frame, kFrameLength},
    };
    for (const Row& r : rows) {
        const ScanResult s = scanMessage(r.input.data(), r.input.size());
        SCOPED_TRACE(testing::Message()
                     << "input of " << r.input.size() << " bytes, first " << int(r.input[0]));
        EXPECT_EQ(s.state, r.state);
        if (r.state == ScanState::Complete) {
            EXPECT_EQ(s.kind, r.kind);
            EXPECT_EQ(s.length, r.length);
        }
    }
}

TEST(FaultRule, ReadsTheCommandLineForm) {
    struct Row {
        const char* text;
        bool ok;
        FaultAction action;
        long value, count;
    } rows[] = {
        {"connect=silent", true, FaultAction::Silent, 0, -1},
        {"program@0x10000=status:E", true, FaultAction::Status, 0, -1},
        {"program=status:E,count=1", true, FaultAction::Status, 0, 1},
        {"pin=status:NG", true, FaultAction::Status, 0, -1},
        {"row@16400=mismatch", true, FaultAction::Mismatch, 0, -1},
        {"program=close-after:3", true, FaultAction::CloseAfter, 3, -1},
        {"disconnect=slow:50,count=2", true, FaultAction::Slow, 50, 2},
        {"erase=tail:100,count=1", true, FaultAction::Tail, 100, 1},
        {"program@0x4000=late:0", true, FaultAction::Late, 0, -1},
        {"program@0x10000=cut:1025", true, FaultAction::Cut, 1025, -1},
        {"program=cut:1032", false, FaultAction::Silent, 0, 0},
        {"erase=cut:7,count=1", false, FaultAction::Silent, 0, 0},
        {"program=late", false, FaultAction::Silent, 0, 0},
        {"pin=status:N", false, FaultAction::Silent, 0, 0},
        {"erase=status:EE", false, FaultAction::Silent, 0, 0},
        {"row=status:0", false, FaultAction::Silent, 0, 0},
        {"erase=mismatch", false, FaultAction::Silent, 0, 0},
        {"erase@0x4000=silent", false, FaultAction::Silent, 0, 0},
        {"frame=silent", false, FaultAction::Silent, 0, 0},
        {"program=close-after:3,count=1", false, FaultAction::Silent, 0, 0},
        {"program=slow:0", false, FaultAction::Silent, 0, 0},
        {"ack=silent,count=0", false, FaultAction::Silent, 0, 0},
        {"ack=loud", false, FaultAction::Silent, 0, 0},
        {"ack", false, FaultAction::Silent, 0, 0},
    };
    for (const Row& r : rows) {
        std::string error;
        const std::optional<FaultRule> rule = parseFault(r.text, error);
        SCOPED_TRACE(r.text);
        ASSERT_EQ(rule.has_value(), r.ok) << error;
        if (!rule) continue;
        EXPECT_EQ(rule->action, r.action);
        EXPECT_EQ(rule->value, r.value);
        EXPECT_EQ(rule->count, r.count);
    }
}

// One session, state carried from step to step: flash, pins and the waiting row.
TEST(Session, AnswersAConversationLikeAHealthyLoader) {
    Bytes row = fromHex("40100102030405060708090A0B0C0D0E0F100000");
    struct Step {
        Bytes request;
        size_t length, statusAt;
        std::string status;
    } steps[] = {
        {text("QZ~P5"), 0, 0, ""},  // incomplete: nothing yet
        {text("1\r"), 14, 10, "OK"},
        {text("QZ~P53\r"), 14, 10, "01"},
        {text("QZ~P50\r"), 14, 10, "OK"},
        {text("QZ~P53\r"), 14, 10, "00"},
        {text("QZ~P73\r"), 14, 10, "02"},
        {text("QZ~P83\r"), 14, 10, "03"},
        {text("QZ~P323\r"), 14, 10, "NG"},
        {text("QZ~P3\r"), 14, 10, "NG"},
        {text("OK\r\n"), 43, 23, "N"},  // nothing waits
        {joined(fromHex("0D0D"), row), 43, 23, std::string(row.begin(), row.end())},
        {text("OK\r\n"), 43, 23, "0"},
        {frame("PG", 0x23C00), 1036, 1032, "0"},
        {frame("PG", 0x23C01), 1036, 1032, "E"},
        {frame("PG", 0x3C00), 1036, 1032, "E"},
        {frame("QQ", 0), 1036, 1032, "E"},
        {fromHex("01010D0A"), 1, 0, "0"},
    };
    Loader loader;
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(testing::Message() << "step " << i);
        const Bytes reply = loader.send(steps[i].request);
        ASSERT_EQ(reply.size(), steps[i].length);
        if (reply.empty()) continue;
        EXPECT_EQ(std::string(reply.begin() + steps[i].statusAt,
                              reply.begin() + steps[i].statusAt + steps[i].status.size()),
                  steps[i].status);
        if (i == 11) {
            EXPECT_TRUE(
                std::equal(row.begin() + 2, row.begin() + 18, loader.model.flash().begin() + 0x10));
        }
        if (i == 12) {
            EXPECT_EQ(loader.model.flash()[0x1FC00], 0x5A);
        }
    }
    EXPECT_EQ(loader.model.flash(), Bytes(kFlashSize, 0xFF));  // the ERASE line cleared it
}

TEST(Session, FaultsChangeOnlyTheRepliesTheyAimAt) {
    struct Row {
        const char* fault;
        Bytes request;
        size_t length, statusAt;
        std::string status;  // expected at statusAt; empty: only the length is checked
        bool carriedOut;     // the block at 0x10000 was written
    } rows[] = {
        {"program=silent", frame("PG", 0x10000), 0, 0, "", false},
        {"program=short", frame("PG", 0x10000), 1035, 1032, "0", false},
        {"program@0x10000=status:B", frame("PG", 0x10000), 1036, 1032, "B", false},
        {"program@0x10400=status:E", frame("PG", 0x10000), 1036, 1032, "0", true},
        {"program=slow:1", frame("PG", 0x10000), 1036, 1032, "0", true},
        {"program=tail:5", frame("PG", 0x10000), 1036, 1032, "0", true},
        // The frame heard without its last 7 bytes takes them from the connect command that
        // follows: the connect is answered with the frame's echo, the frame is refused.
        {"program@0x10000=cut:1025", joined(frame("PG", 0x10000), text("QZ~FLASHU\r\n")), 1036, 0,
         "\xFF\xFE", false},
        {"connect=status:E", text("QZ~FLASH\r\n"), 14, 10, "E", false},
        {"connect=short", text("QZ~FLASHU\r\n"), 14, 11, "", false},
        {"pin=status:NG", text("QZ~P13\r"), 14, 10, "NG", false},
        {"text=status:1", fromHex("00000D0A"), 1, 0, "1", false},
        {"text=short", fromHex("00000D0A"), 0, 0, "", false},
        {"ack=status:N", text("OK\r\n"), 43, 23, "N", false},
        {"row=mismatch", fromHex("4010000102030405060708090A0B0C0D0E0F1011"), 43, 25, "\xFF",
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fault);
        std::string error;
        Loader loader({*parseFault(r.fault, error)});
        loader.session.receive(r.request.data(), r.request.size(), 0);
        const Bytes reply = drain(loader.queue, int64_t{1} << 40);
        ASSERT_EQ(reply.size(), r.length);
        if (!r.status.empty()) {
            EXPECT_EQ(std::string(reply.begin() + r.statusAt,
                                  reply.begin() + r.statusAt + r.status.size()),
                      r.status);
        }
        EXPECT_EQ(loader.model.flash()[0xC000] == 0x5A, r.carriedOut);
    }
}

TEST(Session, GarbageHoldsNoMeaningfulStatus) {
    for (const char* kind : {"connect", "erase", "pin", "text"}) {
        std::string error;
        Loader loader({*parseFault(std::string(kind) + "=garbage", error)});
        for (int i = 0; i < 50; ++i) {
            const Bytes request = kind == std::string("connect") ? text("QZ~FLASHU\r\n")
                                  : kind == std::string("erase") ? frame("BE", 0)
                                  : kind == std::string("pin")   ? text("QZ~P1\r")
                                                                 : fromHex("00000D0A");
            const Reply healthy =
                loader.model.answer({scanMessage(request.data(), request.size()).kind, request});
            const Bytes reply = loader.send(request);
            ASSERT_EQ(reply.size(), healthy.bytes.size()) << kind;
            for (size_t k = 0; k < healthy.statusLength; ++k) {
                EXPECT_EQ(std::string("01EBCPRONGK").find(char(reply[healthy.statusAt + k])),
                          std::string::npos)
                    << kind;
            }
        }
    }
}

TEST(Session, CloseAfterAnswersNMessagesThenLeaves) {
    std::string error;
    Loader loader({*parseFault("program=close-after:2", error)});
    EXPECT_EQ(loader.send(frame("BE", 0)).size(), 1036u);
    EXPECT_EQ(loader.send(frame("PG", 0x4000)).size(), 1036u);
    EXPECT_EQ(loader.send(frame("PG", 0x4400)).size(), 1036u);
    EXPECT_FALSE(loader.session.closeRequested());
    EXPECT_TRUE(loader.send(frame("PG", 0x4800)).empty());
    EXPECT_TRUE(loader.session.closeRequested());
}

TEST(Session, PacedReplyEndsAfterTheLineTimeOfBothDirections) {
    Loader loader({}, true);
    const Bytes request = frame("PG", 0x4000);
    const int64_t start = 1'000'000'000;
    loader.session.receive(request.data(), 500, start);  // the frame arrives in two reads
    loader.session.receive(request.data() + 500, request.size() - 500, start + 1'000'000);
    // 1032 bytes in and 1036 out at 38400 bit/s, 10 bits a byte: 538.54 ms.
    const int64_t end = start + 538'541'666;
    const Bytes early = drain(loader.queue, end - 1);
    EXPECT_GT(early.size(), 1000u);
    EXPECT_LT(early.size(), 1036u);
    EXPECT_EQ(early.size() + drain(loader.queue, end).size(), 1036u);
    EXPECT_TRUE(loader.queue.empty());
}

// When the bytes of a reply to a frame that arrived at 0 s are due: a late tail or a late
// reply counts from the tool's 2.5 s deadline; packets come whole, at least their gap apart.
TEST(Session, LateRepliesAndPacketsKeepTheirTiming) {
    struct Row {
        const char* fault;
        SessionTiming timing;
        int64_t atNs;
        size_t delivered;  // bytes due by atNs
    } rows[] = {
        {"program=tail:100", {}, 2'599'999'999, 518},
        {"program=tail:100", {}, 2'600'000'000, 1036},
        {"program=late:0", {}, 2'499'999'999, 0},
        {"program=late:0", {}, 2'500'000'000, 1036},
        {"program=tail:0", {false, 64, 1}, 0, 64},
        {"program=tail:0", {false, 64, 1}, 7'000'000, 512},
        {"program=tail:0", {false, 64, 1}, 2'500'000'000, 582},
        // Paced: the frame takes 268.75 ms to arrive, a 64-byte packet 16.67 ms more.
        {"erase=silent", {true, 64, 1}, 285'416'665, 0},
        {"erase=silent", {true, 64, 1}, 285'416'666, 64},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.fault) + " at " + std::to_string(r.atNs));
        std::string error;
        Loader loader({*parseFault(r.fault, error)});
        Session session(
            loader.model, loader.faults, loader.transcript, loader.queue, [] { return 38400; },
            r.timing);
        const Bytes request = frame("PG", 0x4000);
        session.receive(request.data(), request.size(), 0);
        EXPECT_EQ(drain(loader.queue, r.atNs).size(), r.delivered);
    }
}

}  // namespace
}  // namespace quorvel::sim

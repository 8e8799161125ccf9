// The exchanges that send 1032-byte frames: erase, programming and disconnect. Each frame goes
// out at 38400 bit/s and is answered by at least 1036 bytes, judged by received byte 1032.
// Every failure of the port returns 1.

#include <algorithm>

#include "block_walk.h"
#include "line_settings.h"
#include "loader.h"
#include "loader_state.h"
#include "long_frames.h"
#include "reply_classifiers.h"

namespace quorvel {
namespace {

static_assert(frame::kSize == kFrameSize);

constexpr int16_t kAnswerPosition = 1032;  // the first byte after the echoed frame
constexpr int16_t kRejected = 2;           // the answer byte "E"
constexpr int16_t kDone = 0;               // the answer byte "0"
constexpr int kEraseAttempts = 3;
constexpr int kBlockAttempts = 2;
constexpr int kDisconnectAttempts = 3;

frame::Buffer frameBuffer(SerialLink& link) {
    return frame::Buffer(link.bytTxBuf.data(), frame::kSize);
}

enum class Answer { Accepted, Failed, PortFailure };

// True when a whole answer begins with the frame as sent: the loader repeats what it received.
bool answerEchoes(const SerialLink& link) {
    return link.bytRxBuf.size() >= frame::kSize &&
           std::equal(link.bytTxBuf.begin(), link.bytTxBuf.begin() + frame::kSize,
                      link.bytRxBuf.begin());
}

// How a whole answer to a frame is taken.
enum class Judging {
    Lenient,  // any answer byte but "E"
    Strict,   // only the frame repeated, then "0"
    Any,      // any answer, whatever it says (the end frame): judged by its length alone
};

// One send-and-wait of the frame in bytTxBuf: accepted when a whole answer arrived that
// `judging` takes. An answer taken without repeating the frame is noted under `unit`, and
// one taken without confirming it (repeated, then "0") too.
Answer sendFrame(LoaderState& d, Judging judging, int unit) {
    SerialLink& link = d.link;
    const std::optional<int16_t> count = link.ReceiveWait();
    if (judging == Judging::Any) {
        d.judge(-1, 0);
    } else {
        d.judge(kAnswerPosition, 1);
    }
    if (!count) return Answer::PortFailure;
    if (*count < kFrameReplyLength) return Answer::Failed;
    const std::optional<int16_t> code = ReplyCode(link.bytRxBuf, kAnswerPosition);
    if (!code) return Answer::PortFailure;
    const bool echoes = answerEchoes(link);
    d.diagnostics.echoDiffers = !echoes;
    if (judging == Judging::Strict) {
        return echoes && *code == kDone ? Answer::Accepted : Answer::Failed;
    }
    if (judging == Judging::Lenient && *code == kRejected) return Answer::Failed;
    const uint8_t answer = link.bytRxBuf[kAnswerPosition];
    if (!echoes || answer != '0') d.unconfirmed.push_back({unit, echoes, answer});
    return Answer::Accepted;
}

Judging judgingFor(const ExchangeSettings& settings) {
    return settings.strictAnswers ? Judging::Strict : Judging::Lenient;
}

// Opens the port and sends the frame in bytTxBuf, at most `attempts` times, until an answer
// is taken: `accepted` then, the failure code otherwise.
int16_t repeatFrame(LoaderState& d, const ExchangeSettings& settings, Judging judging, int attempts,
                    int16_t accepted) {
    if (!d.link.openPort(settings)) return kFrameFailure;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (d.stopBefore(attempt, attempts)) break;
        d.attempt(attempt, attempts);
        const Answer answer = sendFrame(d, judging, -1);
        if (answer == Answer::PortFailure) break;
        if (answer == Answer::Accepted) return accepted;
    }
    return kFrameFailure;
}

}  // namespace

int16_t Loader::FlashErase(const ExchangeSettings& settings) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kFrameFailure;
    d->link.setLineSettings(kSettings4800);
    frame::BuildEraseFrame(frameBuffer(d->link));
    return repeatFrame(*d, settings, judgingFor(settings), kEraseAttempts, kEraseAccepted);
}

int16_t Loader::FlashProgram(const ExchangeSettings& settings, const MemoryImage& image,
                             const ProgressCallback& progress) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kFrameFailure;
    SerialLink& link = d->link;
    link.setLineSettings(kSettings38400);
    if (!link.openPort(settings)) return kFrameFailure;

    for (const int start : programBlockStarts()) {
        if (progress) progress(start, true);
        if (!blockHasData(image, start)) continue;
        int failed = 0;
        for (;;) {
            if (d->stopBefore(failed + 1, kBlockAttempts, start)) return kFrameFailure;
            frame::BuildProgramFrame(image, start, frameBuffer(link));
            d->attempt(failed + 1, kBlockAttempts, start);
            const Answer answer = sendFrame(*d, judgingFor(settings), start);
            if (answer == Answer::Accepted) break;
            if (answer == Answer::PortFailure || ++failed == kBlockAttempts) return kFrameFailure;
        }
    }
    return kProgramDone;
}

int16_t Loader::LoaderDisconnect(const ExchangeSettings& settings) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kFrameFailure;
    d->link.setLineSettings(kSettings4800);
    frame::BuildEndFrame(frameBuffer(d->link));
    // Any whole answer ends the connection, whatever it says.
    return repeatFrame(*d, settings, Judging::Any, kDisconnectAttempts, kDisconnected);
}

}  // namespace quorvel

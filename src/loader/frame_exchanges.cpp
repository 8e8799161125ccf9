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

// Notes a whole answer under `unit` unless it confirms the frame: repeated, then "0".
void noteConfirmation(LoaderState& d, int unit, bool echoes) {
    const uint8_t answer = d.link.bytRxBuf[kAnswerPosition];
    if (!echoes || answer != '0') d.unconfirmed.push_back({unit, echoes, answer});
}

// One send-and-wait of the frame in bytTxBuf: accepted when a whole answer arrived and its
// answer byte is not "E"; strictly, only when it also repeats the frame and answers "0". An
// answer taken without repeating the frame is noted under `unit`.
Answer sendFrame(LoaderState& d, bool strict, int unit) {
    SerialLink& link = d.link;
    const std::optional<int16_t> count = link.ReceiveWait();
    d.judge(kAnswerPosition, 1);
    if (!count) return Answer::PortFailure;
    if (*count < kFrameReplyLength) return Answer::Failed;
    const std::optional<int16_t> code = ReplyCode(link.bytRxBuf, kAnswerPosition);
    if (!code) return Answer::PortFailure;
    const bool echoes = answerEchoes(link);
    d.diagnostics.echoDiffers = !echoes;
    if (strict) return echoes && *code == kDone ? Answer::Accepted : Answer::Failed;
    if (*code == kRejected) return Answer::Failed;
    if (!echoes) d.notEchoed.push_back(unit);
    noteConfirmation(d, unit, echoes);
    return Answer::Accepted;
}

}  // namespace

int16_t Loader::FlashErase(const ExchangeSettings& settings) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kFrameFailure;
    SerialLink& link = d->link;
    link.setLineSettings(kSettings4800);
    frame::BuildEraseFrame(frameBuffer(link));
    if (!link.openPort(settings)) return kFrameFailure;

    int16_t status = kFrameFailure;
    for (int attempt = 0; attempt < kEraseAttempts; ++attempt) {
        if (d->stopBefore(attempt + 1, kEraseAttempts)) break;
        d->attempt(attempt + 1, kEraseAttempts);
        const Answer answer = sendFrame(*d, settings.strictAnswers, -1);
        if (answer == Answer::PortFailure) break;
        if (answer == Answer::Accepted) {
            status = kEraseAccepted;
            break;
        }
    }
    return status;
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
            const Answer answer = sendFrame(*d, settings.strictAnswers, start);
            if (answer == Answer::Accepted) break;
            if (answer == Answer::PortFailure || ++failed == kBlockAttempts) return kFrameFailure;
        }
    }
    return kProgramDone;
}

int16_t Loader::LoaderDisconnect(const ExchangeSettings& settings) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kFrameFailure;
    SerialLink& link = d->link;
    link.setLineSettings(kSettings4800);
    frame::BuildEndFrame(frameBuffer(link));
    if (!link.openPort(settings)) return kFrameFailure;

    int16_t status = kFrameFailure;
    for (int attempt = 0; attempt < kDisconnectAttempts; ++attempt) {
        if (d->stopBefore(attempt + 1, kDisconnectAttempts)) break;
        d->attempt(attempt + 1, kDisconnectAttempts);
        // Any whole answer ends the connection, whatever it says.
        const std::optional<int16_t> count = link.ReceiveWait();
        d->judge(-1, 0);
        if (!count) break;
        if (*count >= kFrameReplyLength) {
            if (!answerEchoes(link)) d->notEchoed.push_back(-1);
            d->diagnostics.echoDiffers = !answerEchoes(link);
            noteConfirmation(*d, -1, answerEchoes(link));
            status = kDisconnected;
            break;
        }
    }
    return status;
}

}  // namespace quorvel

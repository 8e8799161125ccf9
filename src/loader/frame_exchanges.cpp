// The exchanges that send 1032-byte frames: erase, programming and disconnect. Each frame goes
// out at 38400 bit/s and is answered by at least 1036 bytes, judged by received byte 1032.
// Every failure of the port returns 1.

#include "block_walk.h"
#include "line_settings.h"
#include "loader.h"
#include "loader_state.h"
#include "long_frames.h"
#include "reply_classifiers.h"
#include "text_commands.h"

namespace quorvel {
namespace {

static_assert(frame::kSize == kFrameSize);

constexpr int16_t kAnswerPosition = 1032;  // the first byte after the echoed frame
constexpr int16_t kRejected = 2;           // the answer byte "E"
constexpr int kEraseAttempts = 3;
constexpr int kBlockAttempts = 2;
constexpr int kDisconnectAttempts = 3;

frame::Buffer frameBuffer(SerialLink& link) {
    return frame::Buffer(link.bytTxBuf.data(), frame::kSize);
}

enum class Answer { Accepted, Failed, PortFailure };

// One send-and-wait of the frame in bytTxBuf: accepted when a whole answer arrived and its
// answer byte is not "E".
Answer sendFrame(SerialLink& link) {
    const std::optional<int16_t> count = link.ReceiveWait();
    if (!count) return Answer::PortFailure;
    if (*count < kFrameReplyLength) return Answer::Failed;
    const std::optional<int16_t> code = ReplyCode(link.bytRxBuf, kAnswerPosition);
    if (!code) return Answer::PortFailure;
    return *code == kRejected ? Answer::Failed : Answer::Accepted;
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
        d->attempt(attempt + 1, kEraseAttempts);
        const Answer answer = sendFrame(link);
        d->judge(kAnswerPosition, 1);
        if (answer == Answer::PortFailure) break;
        if (answer == Answer::Accepted) {
            status = kEraseAccepted;
            break;
        }
    }
    link.closePort();
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
        if (progress) progress(PositionText(start), true);
        if (!blockHasData(image, start)) continue;
        int failed = 0;
        for (;;) {
            frame::BuildProgramFrame(image, start, frameBuffer(link));
            d->attempt(failed + 1, kBlockAttempts, start);
            const Answer answer = sendFrame(link);
            d->judge(kAnswerPosition, 1);
            if (answer == Answer::Accepted) break;
            if (answer == Answer::PortFailure || ++failed == kBlockAttempts) {
                link.closePort();
                return kFrameFailure;
            }
        }
    }
    link.closePort();
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
        d->attempt(attempt + 1, kDisconnectAttempts);
        // Any whole answer ends the connection, whatever it says.
        const std::optional<int16_t> count = link.ReceiveWait();
        d->judge(-1, 0);
        if (!count) break;
        if (*count >= kFrameReplyLength) {
            status = kDisconnected;
            break;
        }
    }
    link.closePort();
    return status;
}

}  // namespace quorvel

// The exchanges of the line channel: the short "ERASE" / "END" commands and the row-by-row
// image write. Their lines are sent from the line buffer at 38400 bit/s: the 4 bytes of a
// command or acknowledgement line, or the 20 bytes of a row record. Every failure of the port
// returns -1.

#include <span>

#include "line_records.h"
#include "loader.h"
#include "loader_state.h"
#include "reply_classifiers.h"

namespace quorvel {
namespace {

constexpr int16_t kNotDone = 1;  // unknown word, attempts used up, or a row that failed them
constexpr int kTextAttempts = 3;
constexpr int16_t kTextReplyMinimum = 1;  // every reception with a byte in it is judged
constexpr int kRowAttempts = 10;
constexpr int16_t kRowReplyMinimum = 43;
constexpr int16_t kRowReplyPosition = 23;  // the echo of the record, then the answer byte

std::span<const uint8_t> head(const std::vector<uint8_t>& buffer, size_t length) {
    return std::span<const uint8_t>(buffer.data(), length);
}

}  // namespace

int16_t Loader::TextCommand(const ExchangeSettings& settings, std::string_view word) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kLineFailure;
    SerialLink& link = d->link;
    // The line keeps the settings the port last had; each send switches to 38400 anyway.
    if (!link.openPort(settings)) return kLineFailure;

    if (word == "ERASE") {
        line::BuildEraseFrame(d->lineBuffer());
    } else if (word == "END") {
        line::BuildEndFrame(d->lineBuffer());
    } else {
        return kNotDone;  // not a command word: nothing is sent
    }

    int16_t status = kNotDone;
    for (int attempt = 0; attempt < kTextAttempts; ++attempt) {
        if (d->stopBefore(attempt + 1, kTextAttempts)) return kLineFailure;
        d->attempt(attempt + 1, kTextAttempts);
        const std::optional<int16_t> count =
            link.ReceiveWaitLine(head(d->bytLineBuf, line::kCommandLength), kTextReplyMinimum);
        d->judge(0, 1);
        if (!count) return kLineFailure;
        const std::optional<int16_t> code = ReplyCode(link.bytRxBuf, 0);
        if (!code) return kLineFailure;  // nothing arrived
        if (*code == 0 || *code == 2 || *code == 4) {
            status = *code;
            break;
        }
    }
    return status;
}

int16_t Loader::RowWrite(const ExchangeSettings& settings, const MemoryImage& image,
                         const ProgressCallback& progress) {
    ExchangeScope scope(*d);
    if (!scope.entered()) return kLineFailure;
    SerialLink& link = d->link;
    link.setLineSettings(settingsForSpeed(settings.speed));
    if (!link.openPort(settings)) return kLineFailure;

    const line::Buffer lineBuf = d->lineBuffer();
    for (int row = kFirstRow; row <= kLastRow; ++row) {
        if (progress) progress(row, false);
        if (!image.rowFlagged(row)) continue;
        bool written = false;
        for (int attempt = 0; attempt < kRowAttempts && !written; ++attempt) {
            // A stop waits for the row's acknowledgement: the record alone leaves the row
            // pending on the device.
            if (d->stopBefore(attempt + 1, kRowAttempts, row)) return kLineFailure;
            if (!line::BuildRowFrame(image, row, lineBuf)) {
                d->attempt(0, kRowAttempts, row);  // a row record cannot carry its address
                return kLineFailure;
            }
            d->attempt(attempt + 1, kRowAttempts, row);
            const std::optional<int16_t> count =
                link.ReceiveWaitLine(head(d->bytLineBuf, line::kRecordLength), kRowReplyMinimum);
            d->judge(kRowReplyPosition, line::kRecordLength);
            if (!count) return kLineFailure;
            if (*count < kRowReplyMinimum) continue;

            if (line::CompareReply(lineBuf, link.bytRxBuf, kRowReplyPosition) == 1) {
                line::SetLineOK(lineBuf);
                const std::optional<int16_t> ack = link.ReceiveWaitLine(
                    head(d->bytLineBuf, line::kCommandLength), kRowReplyMinimum);
                d->judge(kRowReplyPosition, 1);
                if (!ack) return kLineFailure;
                if (*ack >= kRowReplyMinimum) {
                    const std::optional<int16_t> code = ReplyCode(link.bytRxBuf, kRowReplyPosition);
                    if (!code) return kLineFailure;
                    written = *code == 0;
                }
            } else {
                line::SetLineNG(lineBuf);
                // The answer to "NG" is not examined.
                if (!link.ReceiveWaitLine(head(d->bytLineBuf, line::kCommandLength),
                                          kRowReplyMinimum)) {
                    return kLineFailure;
                }
            }
        }
        if (!written) return kNotDone;
    }
    return kProgramDone;
}

}  // namespace quorvel

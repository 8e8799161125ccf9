#include "loader_model.h"

#include <algorithm>
#include <string>

namespace quorvel::sim {

namespace {

constexpr size_t kEchoAndPrompt = kRowRecordLength + 3;                // record, CR LF '>'
constexpr size_t kRowReplyLength = kEchoAndPrompt + kRowRecordLength;  // 43
constexpr size_t kPinEchoLength = 8;

void append(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Echo of the message, the status, then CR LF and the loader's prompt.
Reply echoWithStatus(const Message& m, char status) {
    Reply r;
    r.bytes = m.bytes;
    r.statusAt = r.bytes.size();
    r.statusLength = 1;
    r.bytes.push_back(static_cast<uint8_t>(status));
    append(r.bytes, "\r\n>");
    return r;
}

// Answer to an acknowledgement line: its echo padded to 23 bytes, the status, CR LF, padding.
Reply ackReply(const Message& m, char status) {
    Reply r;
    r.bytes = m.bytes;
    r.bytes.resize(kEchoAndPrompt, ' ');
    r.statusAt = r.bytes.size();
    r.statusLength = 1;
    r.bytes.push_back(static_cast<uint8_t>(status));
    append(r.bytes, "\r\n");
    r.bytes.resize(kRowReplyLength, ' ');
    return r;
}

}  // namespace

LoaderModel::LoaderModel(const std::vector<int>& inputLowPins) : flash_(kFlashSize, 0xFF) {
    pins_.fill(Pin::Input);
    for (int pin : inputLowPins) {
        if (pin >= 0 && pin < kPinCount) inputLow_[static_cast<size_t>(pin)] = true;
    }
}

char LoaderModel::frameStatus(const Message& m) const {
    if (!frameCheckOk(m) || m.kind == MessageKind::Frame) return 'E';
    if (m.kind == MessageKind::Program) {
        const uint32_t address = frameAddress(m);
        if (address < kFlashFirst || address + kFrameDataLength > kFlashFirst + kFlashSize) {
            return 'E';
        }
    }
    return '0';
}

std::optional<int> LoaderModel::pinNumber(const Message& m) {
    const std::string text = pinText(m);
    const char mode = pinMode(m);
    if (mode < '0' || mode > '3' || text.empty() || text.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value >= kPinCount) return std::nullopt;
    return value;
}

Reply LoaderModel::answer(const Message& m) const {
    switch (m.kind) {
        case MessageKind::Erase:
        case MessageKind::Program:
        case MessageKind::Disconnect:
        case MessageKind::Frame:
            return echoWithStatus(m, frameStatus(m));
        case MessageKind::Connect:
            return echoWithStatus(m, 'C');
        case MessageKind::Text: {
            Reply r;
            r.bytes = {'0'};
            r.statusLength = 1;
            return r;
        }
        case MessageKind::Row: {
            Reply r;
            r.bytes = m.bytes;
            append(r.bytes, "\r\n>");
            r.bytes.insert(r.bytes.end(), m.bytes.begin(), m.bytes.end());
            return r;
        }
        case MessageKind::Ack:
            return ackReply(m, messageWord(m) == "OK" && pendingRow_ ? '0' : 'N');
        case MessageKind::Pin:
            break;
    }
    // Port command: "QZ~P" and the pin text cut or padded to 8, then CR LF s1 s2 CR LF.
    Reply r;
    append(r.bytes, "QZ~P");
    append(r.bytes, pinText(m));
    r.bytes.resize(kPinEchoLength, ' ');
    append(r.bytes, "\r\n");
    r.statusAt = r.bytes.size();
    r.statusLength = 2;
    const std::optional<int> pin = pinNumber(m);
    std::string status = "NG";
    if (pin) {
        status = "OK";
        if (pinMode(m) == '3') {
            switch (pins_[static_cast<size_t>(*pin)]) {
                case Pin::OutputLow:
                    status = "00";
                    break;
                case Pin::OutputHigh:
                    status = "01";
                    break;
                case Pin::Input:
                    status = inputLow_[static_cast<size_t>(*pin)] ? "02" : "03";
                    break;
            }
        }
    }
    append(r.bytes, status);
    append(r.bytes, "\r\n");
    return r;
}

void LoaderModel::write(uint32_t address, const uint8_t* data, size_t length) {
    if (address < kFlashFirst || address - kFlashFirst + length > kFlashSize) return;
    std::copy(data, data + length, flash_.begin() + (address - kFlashFirst));
}

void LoaderModel::carryOut(const Message& m) {
    switch (m.kind) {
        case MessageKind::Erase:
            if (frameStatus(m) == '0') std::fill(flash_.begin(), flash_.end(), 0xFF);
            break;
        case MessageKind::Program:
            if (frameStatus(m) == '0') {
                write(frameAddress(m), m.bytes.data() + kFrameDataOffset, kFrameDataLength);
            }
            break;
        case MessageKind::Text:
            if (messageWord(m) == "ERASE") std::fill(flash_.begin(), flash_.end(), 0xFF);
            break;
        case MessageKind::Row:
            pendingRow_ = m;
            break;
        case MessageKind::Ack:
            if (messageWord(m) == "OK" && pendingRow_) {
                write(rowAddress(*pendingRow_), pendingRow_->bytes.data() + 2, kRowDataLength);
            }
            pendingRow_.reset();
            break;
        case MessageKind::Pin: {
            const std::optional<int> pin = pinNumber(m);
            const char mode = pinMode(m);
            if (pin && mode != '3') {
                pins_[static_cast<size_t>(*pin)] = mode == '0'   ? Pin::OutputLow
                                                   : mode == '1' ? Pin::OutputHigh
                                                                 : Pin::Input;
            }
            break;
        }
        case MessageKind::Connect:
        case MessageKind::Disconnect:
        case MessageKind::Frame:
            break;
    }
}

}  // namespace quorvel::sim

// Transcript format (--log FILE). One event per line, flushed as it is written. A line is a
// type word followed by space-separated KEY=VALUE fields, always in the order shown; values
// never contain spaces. The last field, t=, is the time since the simulator started, in
// seconds with six decimals (monotonic clock).
//
//   start path=SLAVE t=T
//   rx kind=KIND len=N baud=B FIELDS... t=T     one per message received
//   tx kind=KIND len=N status=S fault=F t=T     its reply as put on the line (len=0: nothing)
//   drop len=N hex=H t=T                         bytes that began no message, one line per run
//   close kind=KIND rule=RULE t=T                a close-after fault fired: master closed
//   cut kind=KIND heard=N lost=M rule=RULE t=T   a cut fault fired: the loader heard the first
//                                                N bytes of the message and waits for the rest
//   end reason=signal|close-after|pty-error t=T
//
// rx: KIND is connect, pin, erase, program, disconnect, frame (a long frame with unknown
// letters), text, row or ack. B is the line speed in bit/s that the pty's settings held when
// the message was complete (0 when not a standard speed). FIELDS by kind:
//   connect   word=QZ~FLASH|QZ~FLASHU hex=H
//   pin       pin=TEXT mode=D hex=H        (TEXT may be empty; D is '-' when there is no digit)
//   text      word=END|ERASE hex=H
//   row       addr=0xAAAA hex=H
//   ack       word=OK|NG hex=H
//   erase, program, disconnect, frame
//             letters=LL addr=0xAAAAAA check=ok|bad   (addr: bytes 4..6, most significant first)
// H is the whole message in upper-case hex without separators (long frames carry no hex).
//
// tx: S is the status as sent: one character (two for pin) taken from the status position of
// the reply, '-' when the reply has none (row echo) or was cut before it. F is "none" or the
// fault rule as given on the command line, e.g. fault=program@0x10000=status:E. A tx line is
// written when the reply is decided; with --pace or slow:MS its bytes follow later.
//
// TEXT, LL, S and D show bytes 0x21..0x7E as they are (a backslash doubled) and every other
// byte as \xHH.

#include "transcript.h"

#include <cinttypes>

#include "safe_file.h"

namespace quorvel::sim {

namespace {

std::string seconds(int64_t ns) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%" PRId64 ".%06" PRId64, ns / 1'000'000'000,
                  (ns % 1'000'000'000) / 1000);
    return buf;
}

std::string hexAddress(uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*" PRIX32, digits, value);
    return buf;
}

std::string statusText(const Reply& healthy, const std::vector<uint8_t>& bytes) {
    if (healthy.statusLength == 0 || healthy.statusAt + healthy.statusLength > bytes.size()) {
        return "-";
    }
    return escapedText(std::string_view(reinterpret_cast<const char*>(&bytes[healthy.statusAt]),
                                        healthy.statusLength));
}

}  // namespace

std::string hexText(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0x0F];
    }
    return out;
}

std::string escapedText(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto b = static_cast<uint8_t>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (b >= 0x21 && b <= 0x7E) {
            out += c;
        } else {
            out += "\\x" + hexText(&b, 1);
        }
    }
    return out;
}

Transcript::~Transcript() {
    if (file_) std::fclose(file_);
}

bool Transcript::open(const std::string& path, int64_t startNs) {
    startNs_ = startNs;
    const quorvel::OpenedFile opened =
        quorvel::openFileForWriting(path, quorvel::FileWrite::Truncate);
    file_ = opened.fd < 0 ? nullptr : quorvel::streamOf(opened.fd, "w");
    return file_ != nullptr;
}

void Transcript::line(std::string_view type, int64_t nowNs, const std::string& fields) {
    if (!file_) return;
    std::fprintf(file_, "%.*s %s t=%s\n", static_cast<int>(type.size()), type.data(),
                 fields.c_str(), seconds(nowNs - startNs_).c_str());
    std::fflush(file_);
}

void Transcript::start(int64_t nowNs, const std::string& path) {
    line("start", nowNs, "path=" + path);
}

void Transcript::received(int64_t nowNs, const Message& m, int baud) {
    std::string f = "kind=" + std::string(kindName(m.kind)) +
                    " len=" + std::to_string(m.bytes.size()) + " baud=" + std::to_string(baud);
    switch (m.kind) {
        case MessageKind::Erase:
        case MessageKind::Program:
        case MessageKind::Disconnect:
        case MessageKind::Frame:
            f += " letters=" + escapedText(frameLetters(m)) +
                 " addr=" + hexAddress(frameAddress(m), 6) +
                 " check=" + (frameCheckOk(m) ? "ok" : "bad");
            line("rx", nowNs, f);
            return;
        case MessageKind::Pin: {
            const char mode = pinMode(m);
            f += " pin=" + escapedText(pinText(m)) +
                 " mode=" + (mode ? escapedText(std::string(1, mode)) : std::string("-"));
            break;
        }
        case MessageKind::Row:
            f += " addr=" + hexAddress(rowAddress(m), 4);
            break;
        case MessageKind::Connect:
        case MessageKind::Text:
        case MessageKind::Ack:
            f += " word=" + messageWord(m);
            break;
    }
    f += " hex=" + hexText(m.bytes.data(), m.bytes.size());
    line("rx", nowNs, f);
}

void Transcript::sent(int64_t nowNs, const Message& m, const Reply& healthy,
                      const std::vector<uint8_t>& bytes, const FaultRule* fault) {
    line("tx", nowNs,
         "kind=" + std::string(kindName(m.kind)) + " len=" + std::to_string(bytes.size()) +
             " status=" + statusText(healthy, bytes) +
             " fault=" + (fault ? fault->text : std::string("none")));
}

void Transcript::dropped(int64_t nowNs, const std::vector<uint8_t>& bytes) {
    line("drop", nowNs,
         "len=" + std::to_string(bytes.size()) + " hex=" + hexText(bytes.data(), bytes.size()));
}

void Transcript::closing(int64_t nowNs, const Message& m, const FaultRule& rule) {
    line("close", nowNs, "kind=" + std::string(kindName(m.kind)) + " rule=" + rule.text);
}

void Transcript::cut(int64_t nowNs, const Message& m, size_t heard, const FaultRule& rule) {
    line("cut", nowNs,
         "kind=" + std::string(kindName(m.kind)) + " heard=" + std::to_string(heard) +
             " lost=" + std::to_string(m.bytes.size() - heard) + " rule=" + rule.text);
}

void Transcript::end(int64_t nowNs, std::string_view reason) {
    line("end", nowNs, "reason=" + std::string(reason));
}

}  // namespace quorvel::sim

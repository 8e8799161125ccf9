#include "diagnosis.h"

#include <cstdio>

namespace quorvel {
namespace {

constexpr int kFirstUnaddressableRow = 4096;  // a row record holds addresses up to 0xFFFF
constexpr size_t kTextStatusLength = 6;
constexpr size_t kRowEchoLength = 20;
constexpr int16_t kPinRefused = 1;  // the pin command's answer "NG"

// How the diagnoses of record lines without a "cause" (written before it was recorded) began:
// answerKind() reads their kind back from these.
namespace legacy {
constexpr std::string_view kNoAnswer = "nothing came back within 2.5 s";
constexpr std::string_view kForeignAnswer = "the reply did not repeat the connect command";
constexpr std::string_view kShortReply = " bytes came back within 2.5 s, where ";
constexpr std::string_view kStatusByte = "the reply came back with ";
constexpr std::string_view kStatusPosition = " at status position ";
constexpr std::string_view kRefusedNg = "the device answered NG";
constexpr std::string_view kLineReply = "the reply held ";
constexpr std::string_view kRowNotRepeated = "the reply did not repeat the row record";
constexpr std::string_view kFrameNotRepeated =
    "the reply did not begin with the frame that was sent";
constexpr std::string_view kBeyondRows = "the image holds data at ";
constexpr std::string_view kFailedWithStatus = " failed with status ";
// Longer than any byte as byteText() shows it: "'E' (0x45)".
constexpr size_t kLongestByteText = 10;
}  // namespace legacy

// The kinds of the port's trouble, by how the serial link and the device hold begin their
// words: the port never opened, the device held by another writer, or the connection gone
// after it was opened (an adapter pulled out or a cable loose mid-exchange). A step's own
// trouble and the diagnosis of a record line without a "cause" are both read by this table.
struct PortTrouble {
    std::string_view begins;
    const char* kind;
};
constexpr const char* kNotOpened = "port could not be opened";
constexpr PortTrouble kPortTroubles[] = {
    {"busy: ", "device held by another writer"},
    {"cannot open ", kNotOpened},
    {"not a serial device", kNotOpened},
    {"the port could not be opened", kNotOpened},  // the words of earlier tools
    {"the connection to ", "connection lost"},     // "the connection to COM3 was lost"
    {"sending on ", "connection lost"},            // "sending on COM3 failed"
};

// The kind of the port's trouble `text` words, or null when it is none the table knows.
const char* portTroubleKind(std::string_view text) {
    for (const PortTrouble& trouble : kPortTroubles) {
        if (text.starts_with(trouble.begins)) return trouble.kind;
    }
    return nullptr;
}

std::string hexAddress(int row) {
    return byteAddress(static_cast<uint32_t>(row) * 16);
}

// ", 3 tries" when the message went out more than once.
std::string triesText(const ExchangeDiagnostics& seen) {
    return seen.attempts > 1 ? ", " + std::to_string(seen.attempts) + " tries" : "";
}

// A received byte as the operator reads it: "'E'", or "byte 0x0D" when it is not printable.
std::string answerText(uint8_t byte) {
    if (byte >= 0x21 && byte <= 0x7E) return "'" + std::string(1, static_cast<char>(byte)) + "'";
    return "byte " + byteText(byte);
}

// What the device did when its status byte was not the one the step takes.
std::string refusedWhat(const StepRecord& step) {
    switch (step.step) {
        case Step::Connect:
            return "the device did not enter flash mode";
        case Step::Erase:
            return "the device refused the erase";
        case Step::Program:
            return step.seen.row >= 0 ? "the device refused block " + hexAddress(step.seen.row)
                                      : "the device refused the block";
        case Step::Disconnect:
            return "the device refused to leave flash mode";
        default:
            return "the device refused the " + std::string(StepName(step.step)) + " command";
    }
}

// The same with what it answered: "the device refused block 0x012000 (it answered 'E')".
std::string refusalText(const StepRecord& step, uint8_t byte) {
    std::string answer = "it answered " + answerText(byte);
    // Without --strict, erase and program take any answer but "E"; with it, only "0".
    const bool strictFrame =
        step.strict &&
        (step.step == Step::Erase || step.step == Step::Program || step.step == Step::Disconnect);
    if (step.step == Step::Connect) {
        answer += " where a loader answers 'C'";
    } else if (strictFrame && byte != 'E') {
        answer += " where --strict takes only '0'";
    }
    return refusedWhat(step) + " (" + answer + ")";
}

// What came back for a step whose port was fine: the answer's kind, as failures are counted by
// it (AnswerKind), and the line that tells the operator what it means, empty where the kind says
// all there is. One ladder for both, so that the record's cause and the diagnosis beside it
// never disagree.
struct Answer {
    std::string kind;
    std::string line;
};

Answer answerOf(const StepRecord& step) {
    const ExchangeDiagnostics& seen = step.seen;
    if (!seen.judged) {
        if (step.step == Step::RowWrite && seen.row >= kFirstUnaddressableRow)
            return {"data beyond 0xFFFF",
                    "the image holds data at " + hexAddress(seen.row) +
                        ", beyond 0xFFFF, the last address a row record can carry"};
        return {"not said", {}};
    }
    if (seen.timedOut && seen.receivedBytes == 0)
        return {"no answer",
                "no answer within 2.5 s" + triesText(seen) +
                    ": check the cable, the power, and that the loader is in flash mode"};
    if (seen.foreignAnswer)
        return {"answer to an unfinished frame",
                "the device's answer did not repeat the connect command, as a loader's answer "
                "does: it may be the answer to a frame that an interrupted write left unfinished"};
    if (seen.timedOut)
        return {"short reply", "only part of an answer came back within 2.5 s" + triesText(seen) +
                                   ": check the cable and the line speed"};
    if (seen.statusBytes.size() == 1) {
        // Strictly, a "0" that followed something other than the frame is no answer either.
        if (step.strict && seen.echoDiffers && seen.statusBytes[0] == '0')
            return {"frame not repeated (--strict)", {}};
        return {"status byte " + byteText(seen.statusBytes[0]),
                refusalText(step, seen.statusBytes[0])};
    }
    if (step.step == Step::Pin && step.status == kPinRefused)
        return {"answered NG", "the device answered NG: it did not take the pin or the operation"};
    if (seen.statusBytes.size() == kTextStatusLength)
        return {"malformed line reply",
                "the device's answer was not one it gives (OK, NG, or a pin state 00 to 03): "
                "check the cable and the line speed"};
    if (seen.statusBytes.size() == kRowEchoLength)
        return {"row record not repeated",
                "the device did not repeat row " + hexAddress(seen.row) +
                    " as it was sent: check the cable and the line speed"};
    return {"status " + std::to_string(step.status), {}};
}

std::string loaderHint(LoaderGeneration loader) {
    if (loader == LoaderGeneration::V106) {
        return "if the device has the older loader (version 1.05), try --loader 1.05";
    }
    return "if the device has loader version 1.06 or later, try --loader 1.06";
}

}  // namespace

std::string echoWarning(const std::vector<StepRecord>& steps) {
    std::string frames;
    for (const StepRecord& step : steps) {
        for (const UnconfirmedAnswer& a : step.unconfirmed) {
            if (a.repeated) continue;
            frames += frames.empty() ? "" : ", ";
            frames += a.row >= 0 ? "block " + hexAddress(a.row)
                                 : "the " + std::string(StepName(step.step)) + " frame";
        }
    }
    if (frames.empty()) return {};
    return "the device's answers did not repeat what was sent: the write may not have been "
           "stored (" +
           frames + ")";
}

std::string byteAddress(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", address);
    return text;
}

std::string byteText(uint8_t byte) {
    char text[16];
    if (byte >= 0x21 && byte <= 0x7E) {
        std::snprintf(text, sizeof text, "'%c' (0x%02X)", static_cast<char>(byte), byte);
    } else {
        std::snprintf(text, sizeof text, "0x%02X", byte);
    }
    return text;
}

std::string failureLine(const StepRecord& step) {
    std::string line = std::string(StepName(step.step)) + " failed";
    const ExchangeDiagnostics& seen = step.seen;
    if (seen.row >= 0) {
        line += (step.step == Step::Program ? " at block " : " at row ") + hexAddress(seen.row);
    }
    if (seen.attempts == 0) return line;
    if (seen.attemptLimit == 1) return line + " after its one attempt";
    return line + " after " + std::to_string(seen.attempts) + " of " +
           std::to_string(seen.attemptLimit) + " attempts";
}

std::vector<std::string> explainFailure(const StepRecord& step, LoaderGeneration loader) {
    std::vector<std::string> lines = explainStep(step);
    // A loader of the other generation repeats the connect word but answers it with a different
    // length or status byte. Bytes that do not repeat it come from no loader of either.
    if (step.portError.empty() && step.seen.judged && step.step == Step::Connect &&
        step.seen.receivedBytes > 0 && !step.seen.foreignAnswer) {
        lines.push_back(loaderHint(loader));
    }
    return lines;
}

std::vector<std::string> explainStep(const StepRecord& step) {
    const ExchangeDiagnostics& seen = step.seen;
    if (!step.portError.empty()) {
        // Mid-exchange, the port went away under the tool: an adapter pulled out or a loose
        // cable, which the technician puts right before anything else.
        if (step.portError.ends_with(" was lost")) {
            return {step.portError, "check the cable, and plug the adapter in again"};
        }
        return {step.portError};
    }
    std::vector<std::string> lines;
    if (Answer answer = answerOf(step); !answer.line.empty()) {
        lines.push_back(std::move(answer.line));
    }
    if (!seen.judged) return lines;
    if (seen.echoDiffers && step.strict) {
        lines.push_back(
            "the device's answer did not begin with the frame that was sent, which --strict "
            "requires");
    }
    if (seen.lateBytes > 0) {
        lines.push_back(
            "part of the device's answer came after 2.5 s and was thrown away: the device or the "
            "adapter answers too late");
    }
    return lines;
}

std::string AnswerKind(const StepRecord& step) {
    if (!step.portError.empty()) {
        const char* kind = portTroubleKind(step.portError);
        return kind != nullptr ? kind : kNotOpened;
    }
    return answerOf(step).kind;
}

std::string answerKind(const std::vector<std::string>& diagnosis) {
    using namespace legacy;
    const auto said = [&diagnosis](auto&& test) {
        return std::any_of(diagnosis.begin(), diagnosis.end(), test);
    };
    const auto begins = [&said](std::string_view start) {
        return said([start](const std::string& line) { return line.starts_with(start); });
    };
    for (const std::string& line : diagnosis) {
        if (const char* kind = portTroubleKind(line)) return kind;
    }
    if (begins(kNoAnswer)) return "no answer";
    if (begins(kForeignAnswer)) return "answer to an unfinished frame";
    if (said([](const std::string& line) {
            return line.starts_with("only ") && line.find(kShortReply) != std::string::npos;
        })) {
        return "short reply";
    }
    for (const std::string& line : diagnosis) {
        if (!line.starts_with(kStatusByte)) continue;
        const size_t end = line.find(kStatusPosition);
        const size_t length = end == std::string::npos ? 0 : end - kStatusByte.size();
        if (length == 0 || length > kLongestByteText) return "status byte";
        return "status byte " + line.substr(kStatusByte.size(), length);
    }
    if (begins(kRefusedNg)) return "answered NG";
    if (begins(kLineReply)) return "malformed line reply";
    if (begins(kRowNotRepeated)) return "row record not repeated";
    if (begins(kFrameNotRepeated)) return "frame not repeated (--strict)";
    if (begins(kBeyondRows)) return "data beyond 0xFFFF";
    // Nothing more was said than the status the step returned ("connect failed with status 8").
    if (!diagnosis.empty()) {
        const std::string& first = diagnosis.front();
        const size_t at = first.find(kFailedWithStatus);
        if (at != std::string::npos) {
            const size_t from = at + kFailedWithStatus.size();
            const size_t end = first.find_first_not_of("-0123456789", from);
            const std::string status = first.substr(from, end - from);
            if (!status.empty() && status.size() <= 6) return "status " + status;
        }
    }
    return "not said";
}

}  // namespace quorvel

#include "diagnosis.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "hex_text.h"

namespace quorvel {
namespace {

constexpr int kFirstUnaddressableRow = 4096;  // a row record holds addresses up to 0xFFFF
constexpr size_t kTextStatusLength = 6;
constexpr size_t kRowEchoLength = 20;
constexpr int16_t kPinRefused = 1;  // the pin command's answer "NG"

// How the explanations begin. answerKind() reads them back from record files, so each is
// written once, here, for both.
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
// The port's trouble, as the serial link and the device hold word it.
constexpr std::string_view kPortNotOpened[] = {"cannot open ", "not a serial device",
                                               "the port could not be opened"};
constexpr std::string_view kHeld = "busy: ";
// Longer than any byte as byteText() shows it: "'E' (0x45)".
constexpr size_t kLongestByteText = 10;

std::string hexAddress(int row) {
    return byteAddress(static_cast<uint32_t>(row) * 16);
}

// What the step's status byte must be for success.
std::string expectedStatus(const StepRecord& step) {
    if (step.step == Step::Connect) return "'C'";
    if ((step.step == Step::Erase || step.step == Step::Program) && !step.strict) {
        return "any byte but 'E'";
    }
    return "'0'";
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
        for (int row : step.notEchoed) {
            frames += frames.empty() ? "" : ", ";
            frames += row >= 0 ? "block " + hexAddress(row)
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
    std::string line = std::string(StepName(step.step)) + std::string(kFailedWithStatus) +
                       std::to_string(step.status);
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
    if (!step.portError.empty()) return {step.portError};
    if (!seen.judged) {
        if (step.step == Step::RowWrite && seen.row >= kFirstUnaddressableRow) {
            return {std::string(kBeyondRows) + hexAddress(seen.row) +
                    ", beyond 0xFFFF, the last address a row record can carry"};
        }
        return {};
    }
    std::vector<std::string> lines;
    if (seen.timedOut && seen.receivedBytes == 0) {
        lines.push_back(std::string(kNoAnswer) +
                        ": check the cable, the power, and that the loader is in flash mode");
    } else if (seen.foreignAnswer) {
        lines.push_back(std::string(kForeignAnswer) +
                        ", as a loader's answer does: it may be the answer to a frame that an "
                        "interrupted write left unfinished");
    } else if (seen.timedOut) {
        lines.push_back("only " + std::to_string(seen.receivedBytes) + std::string(kShortReply) +
                        std::to_string(seen.expectedBytes) +
                        " make a whole reply: check the cable and the line speed");
    } else if (seen.statusBytes.size() == 1) {
        // Strictly, a "0" that followed something other than the frame is no answer either.
        if (!(step.strict && seen.echoDiffers && seen.statusBytes[0] == '0'))
            lines.push_back(std::string(kStatusByte) + byteText(seen.statusBytes[0]) +
                            std::string(kStatusPosition) + std::to_string(seen.statusPosition) +
                            ", where " + StepName(step.step) + " needs " + expectedStatus(step));
    } else if (step.step == Step::Pin && step.status == kPinRefused) {
        lines.push_back(std::string(kRefusedNg) + ": it did not take the pin or the operation");
    } else if (seen.statusBytes.size() == kTextStatusLength) {
        lines.push_back(std::string(kLineReply) + hexBytes(seen.statusBytes) + " at positions " +
                        std::to_string(seen.statusPosition) + " to " +
                        std::to_string(seen.statusPosition + 5) +
                        ", where CR LF, a status (OK, NG, 00 to 03) and CR LF belong");
    } else if (seen.statusBytes.size() == kRowEchoLength) {
        lines.push_back(std::string(kRowNotRepeated) + "; from position " +
                        std::to_string(seen.statusPosition) +
                        " it held: " + hexBytes(seen.statusBytes));
    }
    if (seen.echoDiffers && step.strict) {
        lines.push_back(std::string(kFrameNotRepeated) + ", which --strict requires");
    }
    if (seen.lateBytes > 0) {
        lines.push_back("a further " + std::to_string(seen.lateBytes) +
                        " bytes came after the deadline and were thrown away: the device or the "
                        "adapter answers too late");
    }
    return lines;
}

std::string answerKind(const std::vector<std::string>& diagnosis) {
    const auto said = [&diagnosis](auto&& test) {
        return std::any_of(diagnosis.begin(), diagnosis.end(), test);
    };
    const auto begins = [&said](std::string_view start) {
        return said([start](const std::string& line) { return line.starts_with(start); });
    };
    if (said([](const std::string& line) {
            return std::any_of(std::begin(kPortNotOpened), std::end(kPortNotOpened),
                               [&line](std::string_view start) { return line.starts_with(start); });
        })) {
        return "port could not be opened";
    }
    if (begins(kHeld)) return "device held by another writer";
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

#include "diagnosis.h"

#include <cstdio>

#include "hex_text.h"

namespace quorvel {
namespace {

constexpr int kFirstUnaddressableRow = 4096;  // a row record holds addresses up to 0xFFFF
constexpr size_t kTextStatusLength = 6;
constexpr size_t kRowEchoLength = 20;
constexpr int16_t kPinRefused = 1;  // the pin command's answer "NG"

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
    const uint8_t bytes[] = {byte};
    return "byte 0x" + hexBytes(bytes);
}

// What the device did when its status byte was not the one the step takes, and what it
// answered: "the device refused block 0x012000 (it answered 'E')".
std::string refusalText(const StepRecord& step, uint8_t byte) {
    std::string what;
    switch (step.step) {
        case Step::Connect:
            what = "the device did not enter flash mode";
            break;
        case Step::Erase:
            what = "the device refused the erase";
            break;
        case Step::Program:
            what = step.seen.row >= 0 ? "the device refused block " + hexAddress(step.seen.row)
                                      : "the device refused the block";
            break;
        case Step::Disconnect:
            what = "the device refused to leave flash mode";
            break;
        default:
            what = "the device refused the " + std::string(StepName(step.step)) + " command";
            break;
    }
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
    return what + " (" + answer + ")";
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
    if (!step.portError.empty()) return {step.portError};
    if (!seen.judged) {
        if (step.step == Step::RowWrite && seen.row >= kFirstUnaddressableRow) {
            return {"the image holds data at " + hexAddress(seen.row) +
                    ", beyond 0xFFFF, the last address a row record can carry"};
        }
        return {};
    }
    std::vector<std::string> lines;
    if (seen.timedOut && seen.receivedBytes == 0) {
        lines.push_back("no answer within 2.5 s" + triesText(seen) +
                        ": check the cable, the power, and that the loader is in flash mode");
    } else if (seen.foreignAnswer) {
        lines.push_back(
            "the device's answer did not repeat the connect command, as a loader's answer does: "
            "it may be the answer to a frame that an interrupted write left unfinished");
    } else if (seen.timedOut) {
        lines.push_back("only part of an answer came back within 2.5 s" + triesText(seen) +
                        ": check the cable and the line speed");
    } else if (seen.statusBytes.size() == 1) {
        // Strictly, a "0" that followed something other than the frame is no answer either.
        if (!(step.strict && seen.echoDiffers && seen.statusBytes[0] == '0'))
            lines.push_back(refusalText(step, seen.statusBytes[0]));
    } else if (step.step == Step::Pin && step.status == kPinRefused) {
        lines.push_back("the device answered NG: it did not take the pin or the operation");
    } else if (seen.statusBytes.size() == kTextStatusLength) {
        lines.push_back(
            "the device's answer was not one it gives (OK, NG, or a pin state 00 to 03): check "
            "the cable and the line speed");
    } else if (seen.statusBytes.size() == kRowEchoLength) {
        lines.push_back("the device did not repeat row " + hexAddress(seen.row) +
                        " as it was sent: check the cable and the line speed");
    }
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

}  // namespace quorvel

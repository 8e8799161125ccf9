#include "interruption_report.h"

#include "block_walk.h"
#include "diagnosis.h"
#include "rewrite_report.h"

namespace quorvel {
namespace {

constexpr const char* kStaysInFlashMode = "; it stays in flash mode; run write again";
constexpr const char* kNothingWritten =
    "nothing was written; the device stays in flash mode; run write again";
constexpr const char* kWrittenInFlashMode =
    "every block is written, but the device stays in flash mode; run disconnect to leave it";
constexpr const char* kNotConfirmed = ", which the device did not confirm";

// The walk stopped at block or row `row` (`sent`: it went out without a confirmation);
// `done` of `total` units were written before it.
std::string walkPosition(const std::string& unit, int row, bool sent, int done, int total) {
    return std::string(sent ? "at " : "before ") + unit + " " +
           byteAddress(static_cast<uint32_t>(row) * kRowBytes) + (sent ? kNotConfirmed : "") +
           ", with " + std::to_string(done) + " of " + std::to_string(total) + " " + unit +
           "s written";
}

struct Stop {
    std::string where;
    std::string state;
};

Stop programStop(const StepRecord& step, const MemoryImage& image, bool write) {
    const int row = step.seen.row;
    const int done = countBlocksBefore(image, row);
    const int total = countBlocksToSend(image);
    const bool sent = step.seen.attempts > 0;
    const bool nothing = done == 0 && !sent;
    Stop stop{walkPosition("block", row, sent, done, total), {}};
    if (write) {
        stop.state = std::string(nothing ? "the device is erased and nothing is written yet"
                                         : "the device is erased and partly written") +
                     kStaysInFlashMode;
    } else {
        stop.state = nothing ? "nothing was written" : "the device is partly written";
    }
    return stop;
}

Stop rowStop(const StepRecord& step, const MemoryImage& image) {
    const int row = step.seen.row;
    int done = 0;
    for (int r = kFirstRow; r < row && r <= kLastRow; ++r) done += image.rowFlagged(r) ? 1 : 0;
    const bool sent = step.seen.attempts > 0;
    return {walkPosition("row", row, sent, done, countRowsToSend(image)),
            done == 0 && !sent ? "nothing was written" : "the device is partly written"};
}

// The step as a sentence names it: "connect", "the erase", "the ERASE line".
std::string stepInWords(Step step) {
    if (step == Step::Connect) return StepName(step);
    if (step == Step::Pin) return "the pin command";
    if (step == Step::TextErase) return "the ERASE line";
    if (step == Step::TextEnd) return "the END line";
    return std::string("the ") + StepName(step);
}

// A step that stopped before its message went out again (`sent`: it went out at least once).
Stop stepStop(Step step, bool sent, bool write) {
    const std::string name = stepInWords(step);
    if (!sent) {
        if (step == Step::Erase && write) return {"before the erase", kNothingWritten};
        if (step == Step::Disconnect && write)
            return {"before the disconnect", kWrittenInFlashMode};
        return {"before " + name, "nothing was sent"};
    }
    const std::string where = "during " + name + kNotConfirmed;
    if (step == Step::Erase) {
        return {where,
                std::string("the device may be partly erased") + (write ? kStaysInFlashMode : "")};
    }
    if (step == Step::Disconnect) {
        return {where, std::string(write ? "every block is written; " : "") +
                           "the device may still be in flash mode; run disconnect to leave it"};
    }
    return {where, "the device may or may not have carried it out"};
}

// write: the step succeeded and the stop came before the next one.
Stop betweenSteps(Step step) {
    if (step == Step::Connect) return {"after connect", kNothingWritten};
    if (step == Step::Erase) {
        return {"after the erase",
                std::string("the device is erased and nothing is written yet") + kStaysInFlashMode};
    }
    return {"after programming", kWrittenInFlashMode};
}

}  // namespace

std::string interruptionReport(bool rewrite, const std::vector<StepRecord>& steps,
                               const MemoryImage& image, StopCause cause) {
    Stop stop{"before connect", "nothing was sent"};
    if (!steps.empty()) {
        const StepRecord& last = steps.back();
        const bool sent = last.seen.attempts > 0;
        // A step that went through, then the stop; otherwise the step itself was cut short:
        // before a send, or (a second signal) while it waited for the answer.
        if (!last.seen.stopped && last.accepted) {
            stop = betweenSteps(last.step);
        } else if (last.step == Step::Program) {
            stop = programStop(last, image, rewrite);
        } else if (last.step == Step::RowWrite) {
            stop = rowStop(last, image);
        } else if (last.step == Step::Connect && last.seen.foreignAnswer && rewrite) {
            stop = {"during connect, which the device did not confirm", UnknownDeviceState()};
        } else {
            stop = stepStop(last.step, sent, rewrite);
        }
    }
    const std::string verb = cause == StopCause::OutputFailed
                                 ? "stopped (the output could not be written)"
                                 : "interrupted";
    return verb + " " + stop.where + ": " + stop.state;
}

}  // namespace quorvel

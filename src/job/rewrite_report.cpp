#include "rewrite_report.h"

#include "block_walk.h"
#include "diagnosis.h"
#include "step_words.h"

namespace quorvel {
namespace {

constexpr const char* kInFlashMode = "; it stays in flash mode; ";

// The line of one such answer.
std::string UnconfirmedLine(Step step, const UnconfirmedAnswer& answer) {
    const std::string frame = answer.row >= 0
                                  ? "block " + byteAddress(static_cast<uint32_t>(answer.row) * 16)
                                  : "the " + std::string(StepName(step)) + " frame";
    return frame + " answered " + byteText(answer.answer) +
           (answer.repeated ? "" : ", without repeating the frame");
}

}  // namespace

std::string UnknownDeviceState() {
    // A loader left waiting for the rest of a frame takes the next writer's connect command for
    // it: it may be erased and partly written, and power-cycling it is the sure way back.
    return "the device's state is unknown: it may hold an interrupted write; power-cycle it, "
           "then write again";
}

std::string RewriteDeviceState(const RewriteResult& result, const MemoryImage& image,
                               const std::string& again) {
    const OutcomeFacts& outcome = Outcome(result.outcome);
    if (outcome.severity == OutcomeSeverity::Interrupted) return {};
    if (outcome.failedStep) {
        switch (*outcome.failedStep) {
            case Step::Connect:
                if (!result.busy.empty()) return result.busy + "; " + again;
                // The port is what stands in the way, not the device: that comes first.
                if (result.nothingSent)
                    return "the device is untouched: nothing was sent; check the port, then " +
                           again;
                if (result.connectAnswerForeign) return UnknownDeviceState();
                return "the device is untouched: nothing was sent after the connect command; " +
                       again;
            case Step::Erase:
                return "the device may be partly erased" + std::string(kInFlashMode) + again;
            default:  // the program walk (a rewrite fails at no other step)
                return "the device is erased, with " +
                       std::to_string(countBlocksBefore(image, result.lastBlockRow)) + " of " +
                       std::to_string(countBlocksToSend(image)) + " blocks written" + kInFlashMode +
                       again;
        }
    }
    if (!result.endAnswered) {
        return "every block is written, but the device may still be in flash mode: power-cycle it";
    }
    if (outcome.severity == OutcomeSeverity::Unconfirmed) {
        return "every block was sent, but the firmware may not be stored; " + again;
    }
    return "the device is written and has left flash mode";
}

std::vector<std::string> UnconfirmedLines(const std::vector<StepRecord>& steps, size_t listed) {
    std::vector<std::string> lines;
    size_t total = 0;
    for (const StepRecord& s : steps) {
        for (const UnconfirmedAnswer& a : s.unconfirmed) {
            if (total++ < listed) lines.push_back(UnconfirmedLine(s.step, a));
        }
    }
    if (total > listed) lines.push_back("and " + std::to_string(total - listed) + " more");
    return lines;
}

std::vector<std::string> StepDoubts(const StepRecord& step) {
    if (!step.accepted || step.unconfirmed.empty()) return {};
    std::string doubt;
    switch (step.step) {
        case Step::Erase:
            doubt = "the device's answer did not confirm the erase: the flash may not be erased";
            break;
        case Step::Disconnect:
            doubt =
                "the device's answer did not confirm the end of the write: it may still be in "
                "flash mode";
            break;
        default:
            doubt = "the device's answers did not confirm " +
                    UnconfirmedFrames(step.unconfirmed, false) + ": the firmware may not be stored";
            break;
    }
    std::vector<std::string> lines{doubt};
    for (std::string& line : UnconfirmedLines({step}, kListedUnconfirmed)) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> RewriteWarnings(const RewriteResult& result) {
    std::vector<std::string> warnings;
    if (!Outcome(result.outcome).wentThrough()) return warnings;
    if (!result.unconfirmed.empty()) {
        warnings.push_back("the device's answers did not confirm " +
                           UnconfirmedFrames(result.unconfirmed, true) +
                           ": the firmware may not be stored");
    }
    if (!result.endAnswered) {
        warnings.push_back(
            "the device did not answer the end of the write and may still be in flash mode: "
            "power-cycle it");
    }
    return warnings;
}

}  // namespace quorvel

#include "rewrite_report.h"

#include "block_walk.h"

namespace quorvel {
namespace {

constexpr const char* kInFlashMode = "; it stays in flash mode; ";

bool wentThrough(RewriteOutcome outcome) {
    return outcome == RewriteOutcome::Success || outcome == RewriteOutcome::Unconfirmed;
}

std::string count(int n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
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
    switch (result.outcome) {
        case RewriteOutcome::ConnectionFailure:
            if (!result.busy.empty()) return result.busy + "; " + again;
            if (result.nothingSent) return "the device is untouched: nothing was sent; " + again;
            if (result.connectAnswerForeign) return UnknownDeviceState();
            return "the device is untouched: nothing was sent after the connect command; " + again;
        case RewriteOutcome::DeletionFailure:
            return "the device may be partly erased" + std::string(kInFlashMode) + again;
        case RewriteOutcome::WritingFailure: {
            // The walk sends the blocks in ascending order and ends on the one not accepted.
            int written = 0;
            for (const int start : programBlockStarts()) {
                if (start < result.lastBlockRow && blockHasData(image, start)) ++written;
            }
            return "the device is erased, with " + std::to_string(written) + " of " +
                   std::to_string(countBlocksToSend(image)) + " blocks written" + kInFlashMode +
                   again;
        }
        case RewriteOutcome::Stopped:
            return {};
        default:
            break;
    }
    if (!result.endAnswered) {
        return "every block is written, but the device may still be in flash mode: power-cycle it";
    }
    if (result.outcome == RewriteOutcome::Unconfirmed) {
        return "every block was sent, but the firmware may not be stored; " + again;
    }
    return "the device is written and has left flash mode";
}

std::vector<std::string> RewriteWarnings(const RewriteResult& result) {
    std::vector<std::string> warnings;
    if (!wentThrough(result.outcome)) return warnings;
    if (!result.unconfirmed.empty()) {
        int blocks = 0;
        bool erase = false;
        for (const UnconfirmedAnswer& a : result.unconfirmed) {
            if (a.row < 0) {
                erase = true;
            } else {
                ++blocks;
            }
        }
        std::string what = erase ? "the erase" : "";
        if (blocks > 0) what += (erase ? " and " : "") + count(blocks, "block");
        warnings.push_back("the device's answers did not confirm " + what +
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

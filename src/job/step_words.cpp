#include "step_words.h"

#include <string_view>

#include "pin_answer.h"

namespace quorvel {
namespace {

// What each step's device did when it took the command, in the order of Step.
constexpr const char* kAcceptedWords[] = {"in flash mode",   "answered", "accepted", "written",
                                          "left flash mode", "erased",   "ended",    "written"};

}  // namespace

std::string StepEndWords(const StepRecord& step) {
    const ExchangeDiagnostics& seen = step.seen;
    // The pin's answer is its state, good or not ("NG", "???" when it could not be read).
    const std::string_view pin = pinAnswer(step.status).text;
    if (step.step == Step::Pin && step.portError.empty() && seen.judged && !seen.timedOut &&
        pin != "???") {
        return std::string(pin);
    }
    // Taken, but the device's answers did not confirm every frame: the write goes on, and is
    // not called written.
    if (step.accepted && !step.unconfirmed.empty()) {
        const std::string blocks = UnconfirmedFrames(step.unconfirmed, false);
        return blocks.empty() ? "answered, not confirmed"
                              : "answered, " + blocks + " not confirmed";
    }
    if (step.accepted) return kAcceptedWords[static_cast<size_t>(step.step)];
    if (!step.portError.empty()) return "the port could not be used";
    if (seen.stopped) return "stopped";
    if (!seen.judged) return "not sent";
    if (seen.timedOut) return seen.receivedBytes == 0 ? "no answer" : "answer cut short";
    if (seen.foreignAnswer) return "not a loader's answer";
    if (seen.statusBytes.size() > 1) return "answer not understood";
    return "refused";
}

std::string UnconfirmedFrames(const std::vector<UnconfirmedAnswer>& answers, bool nameErase) {
    int blocks = 0;
    bool other = false;
    for (const UnconfirmedAnswer& a : answers) {
        if (a.row < 0) {
            other = true;
        } else {
            ++blocks;
        }
    }
    std::string what = other && nameErase ? "the erase" : "";
    if (blocks > 0) {
        what += (what.empty() ? "" : " and ") + std::to_string(blocks) +
                (blocks == 1 ? " block" : " blocks");
    }
    return what;
}

}  // namespace quorvel

#include "step_record.h"

#include <chrono>

namespace quorvel {

StepRecord RunStep(Exchanges& link, Step step, const std::function<bool(int16_t)>& accepts,
                   const std::function<int16_t()>& exchange, bool strict, const StepWatch& watch) {
    if (watch.started) watch.started(step);
    const auto begun = std::chrono::steady_clock::now();
    const int16_t status = exchange();
    const StepRecord record{
        step,
        status,
        accepts(status),
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count(),
        link.portFailureText(),
        link.lastDiagnostics(),
        strict,
        link.answersNotConfirmed()};
    if (watch.done) watch.done(record);
    return record;
}

}  // namespace quorvel

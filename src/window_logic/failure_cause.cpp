#include "failure_cause.h"

#include "diagnosis.h"

namespace quorvel {

std::vector<std::string> FailureCause(const Exchanges& link, Step step, int16_t status) {
    StepRecord record;
    record.step = step;
    record.status = status;
    record.portError = link.portFailureText();
    record.seen = link.lastDiagnostics();
    return explainStep(record);
}

}  // namespace quorvel

#include "failure_cause.h"

#include "diagnosis.h"

namespace quorvel {

std::vector<std::string> FailureCause(const Exchanges& link, const std::string& stepName,
                                      int16_t status) {
    StepRecord step;
    step.name = stepName;
    step.status = status;
    step.portError = link.portFailureText();
    step.seen = link.lastDiagnostics();
    return explainStep(step);
}

}  // namespace quorvel

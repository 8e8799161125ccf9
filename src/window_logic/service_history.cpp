#include "service_history.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "diagnosis.h"
#include "port_mapping.h"

namespace quorvel {

std::string DefaultHistoryPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty()) return {};
    // In the system's own encoding of file names, as the command line gets its paths.
    return QFile::encodeName(QDir::toNativeSeparators(folder + QStringLiteral("/history.jsonl")))
        .toStdString();
}

std::vector<std::string> HistoryDiagnosis(const OutcomeFacts& outcome,
                                          const std::vector<StepRecord>& steps,
                                          const std::vector<std::string>& cause,
                                          const std::string& state) {
    if (outcome.severity == OutcomeSeverity::Interrupted) return {state};
    if (outcome.wentThrough() || steps.empty()) return cause;
    std::vector<std::string> lines{failureLine(steps.back())};
    lines.insert(lines.end(), cause.begin(), cause.end());
    return lines;
}

HistoryEntry::HistoryEntry(const CommandContext& context) : context_(context) {
    if (context.historyPath.empty()) return;
    record_ =
        BeginRecord(context.settings(), targetName(context.settings()), {}, context.imageFacts);
    // The data folder does not exist before the first write.
    if (!file_.open(context.historyPath, true)) {
        failure_ = file_.failure();
        if (failure_.find(context.historyPath) == std::string::npos) {
            failure_ = context.historyPath + ": " + failure_;
        }
    } else if (!file_.appendStarted(record_)) {
        failure_ = file_.failure();
    }
}

void HistoryEntry::end(const OutcomeFacts& outcome, const std::vector<StepRecord>& steps,
                       std::vector<std::string> diagnosis, const std::string& deviceState,
                       const std::vector<std::string>& warnings) {
    if (!file_.isOpen()) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    EndRecord(record_, outcome, steps, context_.image, std::move(diagnosis), deviceState, warnings,
              seconds);
    if (!file_.append(record_) && failure_.empty()) failure_ = file_.failure();
}

std::string HistoryEntry::warning() const {
    if (failure_.empty()) return {};
    return "warning: the service history could not be written, so this write is not in it: " +
           failure_;
}

}  // namespace quorvel
